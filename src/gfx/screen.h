#pragma once
// The screen: pages of pixels, which page is shown, which lines changed, and the counted lock
// that keeps the window thread away while the drawing thread works. It owns the one drawing
// context and hands it out through draw_context().
#include <cstdint>
#include <vector>

#include "gfx/color.h"
#include "gfx/draw_state.h"
#include "platform/display_driver.h"

// flags of set_screen_mode that leave the text cursor where it was.
constexpr int SCREEN_KEEP_TEXT_CURSOR = static_cast<int>(0x80000000u);

struct TextCell {
  uint16_t code;
  Color foreground;
  Color background;
};

// Where print_text writes next, in cells from the top-left.
struct TextCursor {
  int column = 0;
  int row = 0;
};

struct Screen : Surface {
  uint32_t* visible_page = nullptr;  // the window thread reads it through view
  uint32_t palette[256] = {};
  const DisplayDriver* driver = nullptr;
  int text_columns = 0;
  int text_rows = 0;
  TextCursor text_cursor;
  uint8_t key_state[128] = {};
  int refresh_rate = 0;
  std::vector<std::vector<TextCell>> text_cells;  // one grid per page
  int lock_count = 0;
  DisplayView view{};

  int page_count() const { return static_cast<int>(pages.size()); }
};

// The open screen, or null.
Screen* current_screen();
// The drawing context, rebuilt first when it belongs to another screen. With no screen open it
// is returned unchanged.
DrawContext& draw_context();

// 0 on success, 1 on failure (also stored as the last error).
int set_screen_mode(int width, int height, int depth, int pages, int flags, int refresh_rate);
void shutdown_screen();

// Makes every later set_screen_mode start the named back end ("Null" or "SDL") whatever its
// flags say; null restores the normal choice. For tools and tests that must draw exactly what the
// window would show without opening one.
void force_display_driver(const char* name);
// The same with any back end's table, for tests that watch what the screen asks of it.
void force_display_driver_table(const DisplayDriver* driver);

void lock_screen();
void unlock_screen(int first_line, int last_line);
int wait_vsync();
int set_pages(int work_page, int visible_page);
int copy_page(int source, int destination);

// Releases one level of lock_screen without marking any line: the range 1..0 is empty.
inline void unlock_screen_only() {
  unlock_screen(1, 0);
}
