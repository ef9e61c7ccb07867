#pragma once
// X protocol errors and a lost connection, answered here instead of by the X library's own
// handlers, which end the process with exit() from the window thread while the drawing thread
// still runs: its exit handlers would then join the window thread from itself.
#include <cstdint>

enum XErrorAnswer {
  X_ERROR_REPORT,       // one line on stderr, and the intro goes on
  X_ERROR_QUIET,        // reported before: the intro goes on without another line
  X_ERROR_WINDOW_GONE,  // another client destroyed the window: one line, status 1
};

// The kinds of error reported so far: each kind (error and request code) once.
struct XErrorLog {
  static constexpr int kKinds = 32;  // beyond that, every other kind is quiet
  uint16_t kinds[kKinds] = {};
  int count = 0;
};

// What an error about `resource` (the window's id `window`, 0 while none exists) calls for.
XErrorAnswer answer_x_error(XErrorLog& log, int error_code, int request_code,
                            unsigned long resource, unsigned long window);

// After SDL's X video is up: the handlers for every protocol error and for a lost connection.
// Nothing on another window system.
void answer_x_errors_ourselves();
// The window whose errors mean it was destroyed; 0: none.
void watch_window_for_x_errors(unsigned long window);
