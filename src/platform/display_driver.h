#pragma once
// The contract between the screen and a display back end. The back end sees only this narrow
// view of the screen: the visible page, its dirty-line flags and the key-held flags.
#include <cstdint>

struct DisplayView {
  uint32_t* const*
      visible_page;      // the screen's visible-page pointer; read under the presenter lock
  uint8_t* dirty_lines;  // one flag per line; the back end clears what it presented
  uint8_t* key_state;    // 128 key-held flags by PC scan code
  int* refresh_rate;     // written by the back end at start: the display's rate, 0 unknown
  int width;
  int height;
  int pitch;  // bytes from one line to the next
};

struct DisplayDriver {
  const char* name;
  // 0 = started, anything else = refused (the back end cleans up after itself then).
  int (*start)(const char* title, int width, int height, int depth, int refresh_rate, int flags,
               const DisplayView* view);
  void (*stop)();
  void (*take_lock)();
  void (*release_lock)();
  void (*await_retrace)();  // null when the back end has no retrace wait
};

// A window on SDL2, served by its own window thread.
extern const DisplayDriver SdlDisplayDriver;
// No window, no thread, no waits: pages and drawing only.
extern const DisplayDriver NullDisplayDriver;

// Why the last refused start was refused (with the window system's own reason), "" otherwise.
const char* display_error();
