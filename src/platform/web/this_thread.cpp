// The browser runs the program on its page's one thread: a pause hands control back to the browser
// (under ASYNCIFY) so that it can draw, play and take input meanwhile; names and priorities are
// not the page's to set.
#include "platform/this_thread.h"

#include <emscripten.h>

#include <chrono>

void name_this_thread(const char*) {}

void raise_this_thread(bool) {}

void pause_this_thread(int ms) {
  emscripten_sleep(static_cast<unsigned>(ms > 0 ? ms : 0));
}

void pause_this_thread_until(int64_t deadline_ns) {
  const int64_t now_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                             std::chrono::steady_clock::now().time_since_epoch())
                             .count();
  // Whole milliseconds, rounded up: the browser's timers count no finer, and waking early would
  // start a frame before its deadline. A deadline already passed still yields once.
  const int64_t left_ns = deadline_ns > now_ns ? deadline_ns - now_ns : 0;
  emscripten_sleep(static_cast<unsigned>((left_ns + 999999) / 1000000));
}
