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

// The first and last flagged lines of the view, which a back end presents as one span; false
// when none is flagged.
inline bool dirty_span(const DisplayView& view, int& first, int& last) {
  first = last = -1;
  for (int y = 0; y < view.height; ++y) {
    if (!view.dirty_lines[y]) continue;
    if (first < 0) first = y;
    last = y;
  }
  return first >= 0;
}

// The flags of set_screen_mode that reach the back end's start, one bit each. -1 (all bits)
// asks for the window-less back end.
constexpr int SCREEN_FULLSCREEN = 0x01;
constexpr int SCREEN_GL = 0x02;
constexpr int SCREEN_FIXED_MODE = 0x04;
constexpr int SCREEN_BORDERLESS = 0x08;
constexpr int SCREEN_COLOR_KEYED = 0x10;
constexpr int SCREEN_TOPMOST = 0x20;
constexpr int SCREEN_BLENDED_PRIMITIVES = 0x40;
constexpr int SCREEN_WINDOW_THREAD_BOOST = 0x80;

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
