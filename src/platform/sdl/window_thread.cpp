// The window thread: opens the window, then sleeps until a frame is finished, the window system
// sends something or the ceiling passes, and each time shows the visible page's changed lines and
// answers the events.
#include "platform/presenter_lock.h"
#include "platform/sdl/window.h"
#include "platform/this_thread.h"

namespace {

// The longest the window thread sleeps: SDL's event pump also turns SIGINT and SIGTERM into close
// requests, and a window manager's requests may come without waking the connection.
constexpr int kCeilingMs = 50;

void run_cycles(Window& w) {
  FrameHandoff& handoff = window_handoff();
  bool lock_missed = false;
  for (;;) {
    // Events already read from the connection would not wake the wait; lines the lock kept from
    // the last cycle are fetched as soon as it is free.
    const int timeout = lock_missed || display_input_queued(w.input) ? 0 : kCeilingMs;
    if (handoff_wait(handoff, w.input.fd, timeout) & WAKE_STOP) return;
    SDL_PumpEvents();
    lock_missed = !try_take_presenter_lock(WINDOW_LOCK_WAIT_MS);
    if (lock_missed) continue;
    handoff_fetched(handoff);
    serve_window(w);
    release_presenter_lock();
    present_window(w);
  }
}

}  // namespace

void window_thread_main() {
  name_this_thread("window");  // for profilers and the running measurement
  Window w;
  const bool opened = open_window(w);
  if (opened && (window_settings.flags & SCREEN_WINDOW_THREAD_BOOST)) raise_this_thread(true);
  handoff_report_start(window_handoff(), opened);
  if (opened) run_cycles(w);
  close_window(w);
  // SDL keeps per-thread data (its error text) that it frees only for threads it started itself.
  SDL_TLSCleanup();
}
