#pragma once
// A fixture that opens the intro's screen (640x480, two pages, blended primitives) on the
// window-less back end, and reads pixels back.
#include <gtest/gtest.h>

#include <cstdint>

#include "gfx/screen.h"
#include "gfx/text.h"

class NullScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_font_storage();  // an earlier test may have written other glyphs over the fonts
    force_display_driver("Null");
    ASSERT_EQ(
        set_screen_mode(640, 480, 32, 2, SCREEN_BLENDED_PRIMITIVES | SCREEN_WINDOW_THREAD_BOOST, 0),
        0);
  }
  void TearDown() override {
    shutdown_screen();
    force_display_driver(nullptr);
  }

 public:
  static uint32_t pixel(int page, int x, int y) {
    const Screen* s = current_screen();
    return reinterpret_cast<const uint32_t*>(s->pages[static_cast<size_t>(page)] +
                                             static_cast<ptrdiff_t>(y) * s->pitch)[x];
  }
  static void set_pixel(int page, int x, int y, uint32_t value) {
    Screen* s = current_screen();
    reinterpret_cast<uint32_t*>(s->pages[static_cast<size_t>(page)] +
                                static_cast<ptrdiff_t>(y) * s->pitch)[x] = value;
  }
  static int dirty_count() {
    int n = 0;
    for (uint8_t f : current_screen()->dirty_lines) n += f;
    return n;
  }
  static void clear_dirty() {
    auto& d = current_screen()->dirty_lines;
    std::fill(d.begin(), d.end(), 0);
  }
};
