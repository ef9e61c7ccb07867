// The "SDL" back end's operations, on the drawing thread: start and stop the window thread, take
// and release the presenter lock, pace frames.
#include <SDL2/SDL.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/display_driver.h"
#include "platform/presenter_lock.h"
#include "platform/retrace_pacer.h"
#include "platform/sdl/window.h"
#include "platform/this_thread.h"
#include "platform/window_start.h"

WindowSettings window_settings;

namespace {
using Clock = std::chrono::steady_clock;

// The longest the drawing thread lets the window thread go first to fetch a finished frame.
constexpr auto kTurnLimit = std::chrono::milliseconds(2);

char error_text[512] = "";
std::thread* window_thread = nullptr;
RetracePacer pacer;
bool retrace_passed = false;  // await_retrace returned; the next release finishes a frame
const uint32_t* page_at_release = nullptr;  // the visible page when the lock was last released

void join_window_thread() {
  window_thread->join();
  delete window_thread;
  window_thread = nullptr;
  handoff_close(window_handoff());
}

Uint32 page_format(int depth) {
  if (depth == 24 || depth == 32) return SDL_PIXELFORMAT_ARGB8888;
  if (depth == 15 || depth == 16) return SDL_PIXELFORMAT_RGB565;
  return SDL_PIXELFORMAT_UNKNOWN;
}

int sdl_start(const char* title, int width, int height, int depth, int refresh_rate, int flags,
              const DisplayView* view) {
  error_text[0] = 0;
  if (window_thread != nullptr) {
    std::snprintf(error_text, sizeof error_text, "the window is already open");
    return 1;
  }
  if (view == nullptr || width <= 0 || height <= 0) {
    std::snprintf(error_text, sizeof error_text, "no screen to show");
    return 1;
  }
  window_settings.pixel_format = page_format(depth);
  if (window_settings.pixel_format == SDL_PIXELFORMAT_UNKNOWN) {
    std::snprintf(error_text, sizeof error_text, "pages of %d bits per pixel cannot be shown",
                  depth);
    return 1;
  }
  if (window_start().title != nullptr) title = window_start().title;
  window_settings.title = title != nullptr ? title : "";
  window_settings.width = width;
  window_settings.height = height;
  window_settings.window_width = width * window_start().scale;
  window_settings.window_height = height * window_start().scale;
  window_settings.flags = flags < 0 ? 0 : flags;
  window_settings.view = view;
  *view->refresh_rate = 0;
  retrace_passed = false;
  page_at_release = *view->visible_page;
  if (!handoff_open(window_handoff(), kTurnLimit)) {
    std::snprintf(error_text, sizeof error_text, "no wake-up descriptor for the window thread");
    return 1;
  }
  window_thread = new std::thread(window_thread_main);
  if (!handoff_await_start(window_handoff())) {
    join_window_thread();
    return 1;
  }
  // A requested rate paces the frames instead of the display's refresh.
  pacer = RetracePacer{refresh_period_ns(refresh_rate > 0 ? refresh_rate : *view->refresh_rate), 0,
                       false};
  return 0;
}

void sdl_stop() {
  if (window_thread == nullptr) return;
  handoff_stop(window_handoff());
  join_window_thread();
  retrace_passed = false;
}

void sdl_take_lock() {
  handoff_await_turn(window_handoff());
  take_presenter_lock();
}

void sdl_release_lock() {
  const DisplayView* view = window_settings.view;
  const uint32_t* visible = view != nullptr ? *view->visible_page : nullptr;
  const bool flipped = visible != page_at_release;
  page_at_release = visible;
  release_presenter_lock();
  // The first release after a retrace that leaves the same page visible follows the frame's page
  // copy: fetch it now. A release that made another page visible waits for the next one: the
  // first frame flips to a page still empty and copies the frame onto it right after, and
  // handing the turn over in between would show that empty page (a black flash).
  if (!retrace_passed || flipped) return;
  retrace_passed = false;
  handoff_frame_finished(window_handoff());
}

void sdl_await_retrace() {
  if (window_thread == nullptr) return;
  const int64_t now =
      std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
  const int64_t deadline = next_retrace_ns(pacer, now);
  pause_this_thread_until(deadline);
  retrace_passed = true;
}
}  // namespace

FrameHandoff& window_handoff() {
  static FrameHandoff* handoff = new FrameHandoff;
  return *handoff;
}

void set_window_error(const char* step) {
  std::snprintf(error_text, sizeof error_text, "%s: %s", step, SDL_GetError());
}

const DisplayDriver SdlDisplayDriver = {"SDL",         sdl_start,        sdl_stop,
                                        sdl_take_lock, sdl_release_lock, sdl_await_retrace};

const char* display_error() {
  return error_text;
}
