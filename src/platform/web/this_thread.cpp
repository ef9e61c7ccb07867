// The browser runs the program on its page's one thread: a pause hands control back to the browser
// (under ASYNCIFY) so that it can draw, play and take input meanwhile; names and priorities are
// not the page's to set.
#include "platform/this_thread.h"

#include <emscripten.h>

#include "support/steady_clock.h"

void name_this_thread(const char*) {}

void raise_this_thread(bool) {}

void pause_this_thread_until(int64_t deadline_ns) {
  // Whole milliseconds, rounded up: the browser's timers count no finer. They also fire up to a
  // millisecond early (their clock is read when the event loop turns), and waking early would
  // start a frame before its deadline: so pause again until it has passed. A deadline already
  // passed still yields once.
  int64_t left_ns = deadline_ns - steady_now_ns();
  do {
    emscripten_sleep(static_cast<unsigned>(left_ns > 0 ? (left_ns + 999999) / 1000000 : 0));
    left_ns = deadline_ns - steady_now_ns();
  } while (left_ns > 0);
}

void pause_this_thread(int ms) {
  pause_this_thread_until(steady_now_ns() + int64_t{ms > 0 ? ms : 0} * 1000000);
}
