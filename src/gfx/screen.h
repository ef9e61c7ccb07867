#pragma once
// The screen: pages of pixels, which page is shown, which lines changed, and the counted lock
// that keeps the window thread away while the drawing thread works.
#include <cstdint>
#include <vector>

#include "gfx/color.h"
#include "platform/display_driver.h"

constexpr int SCREEN_FULLSCREEN = 0x01;
constexpr int SCREEN_GL = 0x02;
constexpr int SCREEN_FIXED_MODE = 0x04;
constexpr int SCREEN_BORDERLESS = 0x08;
constexpr int SCREEN_COLOR_KEYED = 0x10;
constexpr int SCREEN_TOPMOST = 0x20;
constexpr int SCREEN_BLENDED_PRIMITIVES = 0x40;
constexpr int SCREEN_WINDOW_THREAD_BOOST = 0x80;

// Bits of Screen::flags.
constexpr uint32_t SCREEN_FLAG_BLENDED = 0x8;
constexpr uint32_t SCREEN_FLAG_BOOST = 0x20;
constexpr uint32_t SCREEN_FLAG_GL = 0x20000000;
constexpr uint32_t SCREEN_FLAG_MMX = 0x1000000;

struct TextCell {
  uint16_t code;
  Color foreground;
  Color background;
};

struct Screen {
  int serial = 0;
  int mode = -1;
  std::vector<uint8_t*> pages;  // 16-byte aligned, pitch * height bytes each
  int page_count = 0;
  int visible_index = 0;
  uint32_t* visible_page = nullptr;
  int width = 0;
  int height = 0;
  int depth = 0;
  int bytes_per_pixel = 0;
  int pitch = 0;
  uint32_t palette[256] = {};
  uint32_t palette_pixels[256] = {};
  uint8_t palette_indices[16] = {};
  std::vector<uint8_t> dirty_lines;
  const DisplayDriver* driver = nullptr;
  uint32_t colour_mask = 0;
  int lines_per_row = 1;
  int text_columns = 0;
  int text_rows = 0;
  float aspect = 1.0f;
  uint8_t key_state[128] = {};
  int refresh_rate = 0;
  std::vector<std::vector<TextCell>> text_cells;  // one grid per page
  uint32_t flags = 0;
  int lock_count = 0;
  DisplayView view{};
};

// The open screen, or null.
Screen* current_screen();

// 0 on success, 1 on failure (also stored as the last error).
int set_screen_mode(int width, int height, int depth, int pages, int flags, int refresh_rate);
void shutdown_screen();

// Makes every later set_screen_mode start the named back end ("Null" or "SDL") whatever its
// flags say; null restores the normal choice. For tools and tests that must draw exactly what the
// window would show without opening one.
void force_display_driver(const char* name);

void lock_screen();
void unlock_screen(int first_line, int last_line);
int wait_vsync();
int set_pages(int work_page, int visible_page);
int copy_page(int source, int destination);
