#pragma once
// The intro's screen on the window-less back end, and pixels of pages and images read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <numeric>
#include <tuple>
#include <utility>
#include <vector>

#include "gfx/image_view.h"
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
  static uint32_t& pixel(int page, int x, int y) {
    Screen* s = current_screen();
    return reinterpret_cast<uint32_t*>(s->pages[size_t(page)] + ptrdiff_t(y) * s->pitch)[x];
  }
  // Page 0 black again, as the mode set left it.
  static void clear_page() {
    for (int y = 0; y < 480; ++y) std::fill_n(&pixel(0, 0, y), 640, 0xFF000000u);
  }
  // Each of the points of page 0 holds the colour, or each point (x, y, colour) its own.
  static void expect_pixels(uint32_t colour, std::initializer_list<std::pair<int, int>> points) {
    for (auto [x, y] : points) EXPECT_EQ(pixel(0, x, y), colour) << "at " << x << "," << y;
  }
  static void expect_pixels(std::initializer_list<std::tuple<int, int, uint32_t>> points) {
    for (auto [x, y, colour] : points) EXPECT_EQ(pixel(0, x, y), colour) << "at " << x << "," << y;
  }
  static int dirty_count() {
    const auto& d = current_screen()->dirty_lines;
    return std::accumulate(d.begin(), d.end(), 0);
  }
  static void clear_dirty() {
    auto& d = current_screen()->dirty_lines;
    std::fill(d.begin(), d.end(), 0);
  }
};

// Pixel (x, y) of an image, as wide as the image's pixels.
inline uint32_t image_pixel(Image image, int x, int y, const uint32_t* set = nullptr) {
  const ImageView v = image_view(image, 4);
  uint8_t* at = v.pixels + ptrdiff_t(y) * v.pitch + x * v.bytes_per_pixel;
  uint32_t word = 0;
  if (set) std::memcpy(at, set, size_t(v.bytes_per_pixel));
  std::memcpy(&word, at, size_t(v.bytes_per_pixel));
  return word;
}
inline void set_image_pixel(Image image, int x, int y, uint32_t word) {
  image_pixel(image, x, y, &word);
}
inline std::vector<uint32_t> image_row(Image image, int y) {
  std::vector<uint32_t> row(size_t(image_view(image, 4).width));
  for (size_t x = 0; x < row.size(); ++x) row[x] = image_pixel(image, int(x), y);
  return row;
}
