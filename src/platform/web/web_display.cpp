// The "SDL" back end in the browser, which gives the page one thread: the window (SDL's canvas)
// is opened and served on the drawing thread itself. After each finished frame that thread runs
// the window's cycle the window thread runs elsewhere, but puts the picture on the canvas itself;
// the wait for the retrace hands control back to the browser until its next animation frame (or,
// at a requested rate, the frame's deadline).
#include <SDL2/SDL.h>
#include <emscripten.h>

#include <cstring>
#include <vector>

#include "platform/display_driver.h"
#include "platform/keyboard.h"
#include "platform/presenter_lock.h"
#include "platform/retrace_pacer.h"
#include "platform/sdl/window.h"
#include "platform/this_thread.h"
#include "support/steady_clock.h"

// The browser's own pacing, in step with the display; without it (a worker, node) a 60 Hz timer.
// The runtime ends a program that has returned only after a callback of its own, a timer's, so
// one follows each wait: had the program ended after it (the fade's last frame), it exits then.
// clang-format off
EM_ASYNC_JS(void, await_animation_frame, (), {
  await new Promise(function(resolve) {
    const resume = function() { resolve(); setTimeout(maybeExit); };
    if (typeof requestAnimationFrame == "function") requestAnimationFrame(resume);
    else setTimeout(resume, 1000 / 60);
  });
});

// The page's close request (Esc or its close button; the browser keeps Alt+F4 for itself), taken
// once.
EM_JS(int, take_page_close_request, (), {
  const requested = Module["introCloseRequested"] ? 1 : 0;
  Module["introCloseRequested"] = false;
  return requested;
});

// What the page (and its tests and benchmark) read: frames put on the canvas, and when the first
// was, in milliseconds since the navigation began.
EM_JS(void, note_frame_shown, (), {
  Module["introFramesShown"] = (Module["introFramesShown"] | 0) + 1;
  if (Module["introFirstFrameMs"] === undefined) Module["introFirstFrameMs"] = performance.now();
});
// The canvas's rows first..last from a buffer of its RGBA pixels, put as they are: SDL's own
// route would turn every pixel of every frame over in JavaScript.
EM_JS(void, put_canvas_rows, (const uint8_t* rgba, int width, int first, int last), {
  const context = Module["canvas"].getContext("2d");
  if (!context) return;
  const pixels = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * (last + 1) * 4);
  context.putImageData(new ImageData(pixels, width, last + 1), 0, 0, 0, first, width,
                       last - first + 1);
});
// clang-format on

namespace {

Window* window = nullptr;
RetracePacer pacer;
bool rate_requested = false;
bool retrace_passed = false;  // await_retrace returned; the next release finishes a frame

std::vector<uint32_t> canvas_pixels;  // the visible page in the canvas's byte order

// Under the presenter lock: the visible page's changed lines onto the canvas, their flags
// cleared, so that SDL's picture output finds none left to show.
void show_changed_lines() {
  const DisplayView& view = *window_settings.view;
  const uint32_t* page = *view.visible_page;
  if (page == nullptr) return;
  int first, last;
  if (!dirty_span(view, first, last)) return;
  const auto width = static_cast<size_t>(view.width);
  canvas_pixels.resize(width * static_cast<size_t>(view.height));
  for (int y = first; y <= last; ++y) {
    const uint32_t* row = page + static_cast<size_t>(y) * static_cast<size_t>(view.pitch / 4);
    uint32_t* out = canvas_pixels.data() + static_cast<size_t>(y) * width;
    // 0xAARRGGBB words to R, G, B bytes in order, opaque: red and blue swap places.
    for (size_t x = 0; x < width; ++x)
      out[x] =
          0xFF000000u | (row[x] & 0x0000FF00u) | (row[x] >> 16 & 0xFFu) | (row[x] & 0xFFu) << 16;
  }
  std::memset(view.dirty_lines + first, 0, static_cast<size_t>(last - first + 1));
  put_canvas_rows(reinterpret_cast<const uint8_t*>(canvas_pixels.data()), view.width, first, last);
}

void drop_window() {
  close_window(*window);
  delete window;
  window = nullptr;
  retrace_passed = false;
}

int web_start(const char* title, int width, int height, int depth, int refresh_rate, int flags,
              const DisplayView* view) {
  set_display_error("");
  if (window != nullptr) {
    set_display_error("the window is already open");
    return 1;
  }
  if (!settle_window_settings(title, width, height, depth, flags, view)) return 1;
  // The canvas takes the page as it is and the browser scales it: WebGL, which a browser without
  // a graphics processor may not offer, would buy nothing for one 640x480 picture a frame.
  if (SDL_GetHint(SDL_HINT_RENDER_DRIVER) == nullptr)
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
  window = new Window;
  if (!open_window(*window)) {
    drop_window();
    return 1;
  }
  // A requested rate paces the frames instead of the display's refresh.
  rate_requested = refresh_rate > 0;
  pacer = RetracePacer{refresh_period_ns(refresh_rate > 0 ? refresh_rate : *view->refresh_rate), 0,
                       false};
  return 0;
}

void web_stop() {
  if (window != nullptr) drop_window();
}

void web_take_lock() {
  take_presenter_lock();
}

void web_release_lock() {
  release_presenter_lock();
  // The first release after a retrace follows the frame's page copy: show it now.
  if (!retrace_passed || window == nullptr) return;
  retrace_passed = false;
  SDL_PumpEvents();
  take_presenter_lock();
  if (take_page_close_request()) push_key(CLOSE_KEY_CODE);
  show_changed_lines();
  serve_window(*window);
  release_presenter_lock();
  note_frame_shown();
}

void web_await_retrace() {
  if (window == nullptr) return;
  if (!rate_requested) {
    await_animation_frame();
    retrace_passed = true;
    return;
  }
  pause_this_thread_until(next_retrace_ns(pacer, steady_now_ns()));
  retrace_passed = true;
}

}  // namespace

const DisplayDriver SdlDisplayDriver = {"SDL",         web_start,        web_stop,
                                        web_take_lock, web_release_lock, web_await_retrace};
