#include "platform/x11/x11_errors.h"

#include <SDL2/SDL.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/x11/x11_functions.h"

namespace {

std::atomic<unsigned long> watched_window{0};
XErrorLog error_log;  // only the handler, under the X library's own lock, touches it

void say(const char* line, size_t length) {
  (void)!write(STDERR_FILENO, line, length);
}

// The process ends at once, without exit handlers: they would wait for the window thread, which
// is the caller. The server lifts whatever the connection held (the screen saver's suspension).
[[noreturn]] void end_now(const char* line) {
  say(line, std::strlen(line));
  _exit(1);
}

int on_connection_lost(void*) {
  end_now(INTRO_COMMAND ": lost the connection to the display\n");
}

int on_protocol_error(void* display, void* event) {
  const auto& error = *static_cast<const XErrorEvent*>(event);
  switch (answer_x_error(error_log, error.error_code, error.request_code, error.resourceid,
                         watched_window.load())) {
    case X_ERROR_WINDOW_GONE:
      end_now(INTRO_COMMAND ": the window was destroyed by another program\n");
    case X_ERROR_REPORT: {
      char name[160] = "";
      x11_functions()->get_error_text(display, error.error_code, name, sizeof name);
      char line[256];
      const int length = std::snprintf(line, sizeof line,
                                       INTRO_COMMAND ": ignored an X error: %s (request %d.%d)\n",
                                       name, error.request_code, error.minor_code);
      if (length > 0) say(line, std::min(static_cast<size_t>(length), sizeof line - 1));
      break;
    }
    case X_ERROR_QUIET:
      break;
  }
  return 0;
}

}  // namespace

XErrorAnswer answer_x_error(XErrorLog& log, int error_code, int request_code,
                            unsigned long resource, unsigned long window) {
  // Only a window that no longer exists makes the server refuse its id as a window or drawable.
  if ((error_code == BadWindow || error_code == BadDrawable) && window != 0 && resource == window)
    return X_ERROR_WINDOW_GONE;
  const auto kind = static_cast<uint16_t>((error_code & 0xFF) << 8 | (request_code & 0xFF));
  for (int i = 0; i < log.count; ++i)
    if (log.kinds[i] == kind) return X_ERROR_QUIET;
  if (log.count == XErrorLog::kKinds) return X_ERROR_QUIET;
  log.kinds[log.count++] = kind;
  return X_ERROR_REPORT;
}

void answer_x_errors_ourselves() {
  if (std::strcmp(SDL_GetCurrentVideoDriver(), "x11") != 0) return;
  const X11Functions* x = x11_functions();
  if (x == nullptr) return;
  x->set_io_error_handler(on_connection_lost);
  x->set_error_handler(on_protocol_error);
}

void watch_window_for_x_errors(unsigned long window) {
  watched_window.store(window);
}
