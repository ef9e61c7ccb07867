// Where the window system is never X: the X tables are absent and the X error handling has
// nothing to watch, exactly as on a Linux desktop without X.
#include "platform/x11/x11_errors.h"
#include "platform/x11/x11_functions.h"

const X11Functions* x11_functions() {
  return nullptr;
}

const XssFunctions* xss_functions() {
  return nullptr;
}

X11Window x11_window_of(SDL_Window*) {
  return {};
}

const char* desktop_video_drivers() {
  return nullptr;
}

void answer_x_errors_ourselves() {}

void watch_window_for_x_errors(unsigned long) {}
