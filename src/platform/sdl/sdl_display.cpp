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

namespace {
using Clock = std::chrono::steady_clock;

// The longest the drawing thread lets the window thread go first to fetch a finished frame.
constexpr auto kTurnLimit = std::chrono::milliseconds(2);

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

int sdl_start(const char* title, int width, int height, int depth, int refresh_rate, int flags,
              const DisplayView* view) {
  set_display_error("");
  if (window_thread != nullptr) {
    set_display_error("the window is already open");
    return 1;
  }
  if (!settle_window_settings(title, width, height, depth, flags, view)) return 1;
  retrace_passed = false;
  page_at_release = *view->visible_page;
  if (!handoff_open(window_handoff(), kTurnLimit)) {
    set_display_error("no wake-up descriptor for the window thread");
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

const DisplayDriver SdlDisplayDriver = {"SDL",         sdl_start,        sdl_stop,
                                        sdl_take_lock, sdl_release_lock, sdl_await_retrace};
