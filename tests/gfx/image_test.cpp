#include "gfx/image.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <vector>

#include "gfx/color.h"
#include "gfx/error.h"
#include "gfx/null_screen.h"
#include "gfx/primitives.h"
#include "gfx/screen.h"

namespace {

constexpr Color kMagenta = 0xFFFF00FF;
constexpr Color kUnset = 0xFF000000;  // what the pages hold after a mode set

using Row = std::vector<uint32_t>;

// An alpha blit with the usual trailing arguments.
int put(Image target, float x, float y, Image source, int x1 = IMAGE_WHOLE, int y1 = 0, int x2 = 0,
        int y2 = 0, int type = 0) {
  return put_image(target, x, y, source, x1, y1, x2, y2, type, PUT_MODE_ALPHA, alpha_blit, -1,
                   nullptr, nullptr);
}

// Each channel, alpha included, becomes d + floor((s - d) * a / 256), worked out by hand.
TEST(Blend, WorkedExamples) {
  const uint32_t cases[][4] = {
      {0x80FFFFFF, 0xFF000000, 0x80, 0xBF7F7F7F},
      {0x4000FF00, 0xFF0000FF, 0x40, 0xCF003FBF},
      {0x12345678, 0x9ABCDEF0, 0x9C, 0x47698BA6},
      {0x00000000, 0xFF123456, 0x00, 0xFF123456},  // alpha 0 keeps the picture
      {0xFFFFFFFF, 0xFF000000, 0xFF, 0xFFFEFEFE},  // opaque white over black: one short
      {0xFF000000, 0xFFFFFFFF, 0xFF, 0xFF000000},
      // Channels that rise and fall side by side: no carry or borrow crosses into a neighbour.
      {0x00FF00FF, 0xFF00FF00, 0x01, 0xFE00FE00},
      {0xFF00FF00, 0x00FF00FF, 0xFF, 0xFE00FE00}};
  for (const auto& [s, d, a, want] : cases) {
    EXPECT_EQ(blend_pixel(s, d, a), want) << std::hex << s << " over " << d << " at " << a;
  }
}

TEST(Color, FixColorPerPixelWidth) {
  const uint32_t cases[][3] = {{4, 0x12345678u, 0x12345678u},
                               {2, 0x00FF0000u, 0xF800u},
                               {2, 0x0000FF00u, 0x07E0u},
                               {2, 0x000000FFu, 0x001Fu},
                               {1, 0x123456ABu, 0xABu}};
  for (const auto& [bytes, colour, want] : cases) EXPECT_EQ(fix_color(bytes, colour), want);
}

using ImageTest = NullScreen;

TEST_F(ImageTest, DepthsFillsAndPitches) {
  // Width, height, colour, depth, flags; bytes per pixel, pitch, and the word at x, y: rows padded
  // to 16 bytes and filled too, the default fill magenta (RGB565 at 16 bits, index 0 at 8).
  const int64_t cases[][10] = {{3, 2, 0x11223344, 0, 0, 4, 16, 3, 1, 0x11223344},
                               {5, 1, 0x00FF8040, 16, 0, 2, 16, 0, 0, 0xFC08},
                               {5, 1, 0, 9, IMAGE_DEFAULT_FILL, 2, 16, 4, 0, 0xF81F},
                               {17, 1, 0x1234, 8, 0, 1, 32, 16, 0, 0x34},
                               {2, 1, 0x1234, 1, IMAGE_DEFAULT_FILL, 1, 16, 1, 0, 0},
                               {1, 1, 0, 25, IMAGE_DEFAULT_FILL, 4, 16, 0, 0, kMagenta}};
  for (const auto& [width, height, colour, depth, flags, bytes, pitch, x, y, want] : cases) {
    SCOPED_TRACE(testing::Message() << width << "@" << depth);
    Image image = create_image(int(width), int(height), Color(colour), int(depth), int(flags));
    ASSERT_NE(image, nullptr);
    const ImageView v = image_view(image, 4);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(image) % 16, 0u);
    EXPECT_EQ(v.bytes_per_pixel, bytes);
    EXPECT_EQ(v.pitch, pitch);
    EXPECT_EQ(image_pixel(image, int(x), int(y)), want);
    destroy_image(image);
  }
}

TEST_F(ImageTest, RefusedSizesAndDepths) {
  const int cases[][3] = {{0, 5, 32}, {5, 0, 32}, {-1, 5, 0}, {5, 5, 24}, {5, 5, INT_MAX}};
  for (const auto& c : cases) {
    EXPECT_EQ(create_image(c[0], c[1], 0, c[2], 0), nullptr) << c[0] << "x" << c[1] << "@" << c[2];
    EXPECT_EQ(last_error(), 1);
  }
  // Rows wider than the header's pitch field can describe.
  EXPECT_EQ(create_image(INT_MAX, 2, 0, 32, 0), nullptr);
  EXPECT_EQ(last_error(), 4);
  shutdown_screen();
  EXPECT_EQ(create_image(4, 4, 0, 32, 0), nullptr);
}

TEST_F(ImageTest, PrimitivesDrawIntoImages) {
  Image image = create_image(20, 10, 0xFF000000, 0, 0);
  draw_line(image, 2, 3, 17, 3, 0xFF00FF00, LINE_KIND_LINE, 0xFFFF, 0);
  plot_pixel(image, 4, 8, 0x80FFFFFF, 0, 0);  // blended as on the screen
  draw_line(image, 15, 6, 30, 30, 0xFF0000FF, LINE_KIND_FILLED_BOX, 0xFFFF, 0);  // clipped
  EXPECT_EQ((Row{image_pixel(image, 17, 3), image_pixel(image, 18, 3), image_pixel(image, 4, 8),
                 image_pixel(image, 14, 6), image_pixel(image, 19, 9)}),
            (Row{0xFF00FF00u, kUnset, 0xBF7F7F7Fu, kUnset, 0xFF0000FFu}));
  // The screen is untouched and its next primitive goes back to it.
  EXPECT_EQ(pixel(0, 17, 3), kUnset);
  plot_pixel(nullptr, 2, 3, 0xFFFFFFFF, 0, 0);
  EXPECT_EQ(pixel(0, 2, 3), 0xFFFFFFFFu);
  EXPECT_EQ(image_pixel(image, 2, 3), 0xFF00FF00u);
  destroy_image(image);
  // A new image at a reused address is drawn with its own geometry, not the old one's.
  for (int i = 0; i < 4; ++i) {
    destroy_image(create_image(4, 4, kUnset, 0, 0));
    Image big = create_image(40, 30, kUnset, 0, 0);
    draw_line(big, 0, 29, 39, 29, 0xFF0000FF, LINE_KIND_LINE, 0xFFFF, 0);
    EXPECT_EQ(image_pixel(big, 39, 29), 0xFF0000FFu);
    destroy_image(big);
  }
}

class PutImage : public NullScreen {
 protected:
  void SetUp() override {
    NullScreen::SetUp();
    // Every pixel differs: the word tells where it came from.
    source = create_image(512, 96, 0, 32, 0);
    for (int y = 0; y < 96; ++y) {
      for (int x = 0; x < 512; ++x) set_image_pixel(source, x, y, 0xFF000000u | (y << 12 | x));
    }
  }
  void TearDown() override {
    destroy_image(source);
    NullScreen::TearDown();
  }
  // What the alpha blit of source pixel (x, y) leaves on the black page.
  uint32_t from(int x, int y) const {
    const uint32_t s = image_pixel(source, x, y);
    return blend_pixel(s, kUnset, s >> 24);
  }
  // Each page point (x, y) holds what source pixel (sx, sy) left there.
  void expect_from(std::initializer_list<std::array<int, 4>> points) const {
    for (auto [x, y, sx, sy] : points) EXPECT_EQ(pixel(0, x, y), from(sx, sy)) << x << "," << y;
  }
  Image source = nullptr;
};

TEST_F(PutImage, ClampsCornersToTheImage) {
  // A strip of the header row: x2 = 512 is clamped to 511.
  clear_dirty();
  ASSERT_EQ(put(nullptr, 64, 40, source, 0, 7, 512, 7), 0);
  for (int x = 0; x < 512; ++x) ASSERT_EQ(pixel(0, 64 + x, 40), from(x, 7)) << x;
  // Page 0 is shown after the mode set: exactly the drawn row is marked.
  EXPECT_EQ(dirty_count(), 1);
  EXPECT_EQ(current_screen()->dirty_lines[40], 1);
  // Rows beyond the image repeat its last row.
  put(nullptr, 0, 100, source, 0, 96, 512, 99);
  EXPECT_EQ(pixel(0, 100, 100), from(100, 95));
  // Negative corners clamp to 0; reversed corners are put in order.
  put(nullptr, 0, 200, source, 5, 3, -9, -4);
  expect_from({{0, 200, 0, 0}, {5, 203, 5, 3}});
  expect_pixels(kUnset, {{63, 40}, {576, 40}, {64, 41}, {100, 101}, {6, 203}, {0, 204}});
}

TEST_F(PutImage, ClipsAgainstEveryEdge) {
  // x = -3.4 rounds to -3: three source pixels are skipped.
  put(nullptr, -3.4f, 10, source, 0, 2, 512, 2);
  expect_from({{0, 10, 3, 2}, {508, 10, 511, 2}});
  // Top-left corner: 5 rows and 7 columns cut off.
  put(nullptr, -7, -5, source);
  expect_from({{0, 0, 7, 5}, {504, 90, 511, 95}});
  // Bottom-right corner.
  put(nullptr, 600, 450, source);
  EXPECT_EQ(pixel(0, 639, 479), from(39, 29));
  expect_pixels(kUnset, {{509, 10}, {505, 90}, {504, 91}, {599, 479}});
  // Entirely outside, or at coordinates that are no numbers: nothing drawn, no error.
  const float outside[][2] = {{640, 100}, {-512, 100}, {1e30f, 0}, {NAN, 0}, {0, 480}};
  for (auto [x, y] : outside) {
    clear_dirty();
    EXPECT_EQ(put(nullptr, x, y, source), 0);
    EXPECT_EQ(dirty_count(), 0) << x << "," << y;
  }
}

TEST_F(PutImage, CoordinateTypes) {
  // Type 1: the second corner is relative to the first.
  put(nullptr, 0, 300, source, 10, 20, 2, 1, 1);
  expect_pixels({{2, 301, from(12, 21)}, {3, 301, kUnset}});
  // Type 2: the destination is relative to the last point, which the call above left at (0, 300).
  put(nullptr, 5, 10, source, 0, 0, 0, 0, 2);
  EXPECT_EQ(pixel(0, 5, 310), from(0, 0));
  // Type 3: both.
  put(nullptr, 1, 1, source, 4, 4, 1, 0, 3);
  EXPECT_EQ(pixel(0, 7, 311), from(5, 4));
  clear_dirty();
  for (int type : {-1, 4, 7}) EXPECT_EQ(put(nullptr, 0, 0, source, IMAGE_WHOLE, 0, 0, 0, type), 1);
  EXPECT_EQ(dirty_count(), 0);
}

TEST_F(PutImage, AlphaBlendOntoAnImage) {
  // Opaque white over black comes out one short, alpha 0 keeps the target, an opaque source
  // replaces it; the second row checks the pitches of both images.
  Image target = create_image(5, 2, 0xFF405060, 32, 0);
  Image pixels = create_image(3, 2, 0xFF102030, 32, 0);
  set_image_pixel(target, 0, 0, 0xFF000000);
  set_image_pixel(pixels, 0, 0, 0xFFFFFFFF);
  set_image_pixel(pixels, 1, 0, 0x00FFFFFF);
  set_image_pixel(pixels, 2, 1, 0x80FFFFFF);
  ASSERT_EQ(put(target, 0, 0, pixels), 0);
  EXPECT_EQ(image_row(target, 0),
            Row({0xFFFEFEFE, 0xFF405060, 0xFF102030, 0xFF405060, 0xFF405060}));
  EXPECT_EQ(image_row(target, 1),
            Row({0xFF102030, 0xFF102030, 0xBF9FA7AF, 0xFF405060, 0xFF405060}));
  destroy_image(target);
  destroy_image(pixels);
}

TEST_F(PutImage, RefusedSourcesAndAlphaMasks) {
  // Pixel widths must match the target's, except 8-bit alpha masks in the alpha mode on 32 bits.
  Image wide = create_image(4, 4, 0x1234, 16, 0);
  Image mask = create_image(3, 1, 0, 8, 0);
  clear_dirty();
  EXPECT_EQ(put(nullptr, 0, 0, wide), 1);
  EXPECT_EQ(
      put_image(nullptr, 0, 0, mask, IMAGE_WHOLE, 0, 0, 0, 0, 0, nullptr, -1, nullptr, nullptr), 1);
  EXPECT_EQ(put(nullptr, 0, 0, nullptr), 1);
  EXPECT_EQ(dirty_count(), 0);
  // A mask replaces the alpha only.
  set_image_pixel(mask, 1, 0, 0x7F);
  set_image_pixel(mask, 2, 0, 0xFF);
  Image target = create_image(4, 1, 0x80123456, 32, 0);
  ASSERT_EQ(put(target, 1, 0, mask), 0);
  EXPECT_EQ(image_row(target, 0), Row({0x80123456, 0x00123456, 0x7F123456, 0xFF123456}));
  destroy_image(wide);
  destroy_image(mask);
  destroy_image(target);
  shutdown_screen();
  EXPECT_EQ(put(nullptr, 0, 0, source), 1);
}

TEST_F(PutImage, LegacyHeadersAsSourceAndTarget) {
  // Bits 0-2 bytes per pixel (0 = the screen's), 3-15 width, 16-31 height.
  alignas(16) uint32_t legacy_source[1 + 3 * 2] = {(2u << 16) | (3u << 3) | 0u};
  for (uint32_t i = 1; i <= 6; ++i) legacy_source[i] = 0xFF000000u | (i << 5);
  alignas(16) uint32_t legacy_target[1 + 5 * 3] = {(3u << 16) | (5u << 3) | 4u};
  for (int i = 1; i <= 15; ++i) legacy_target[i] = kUnset;
  ASSERT_EQ(put(legacy_target, 3, 1, legacy_source), 0);
  EXPECT_EQ(legacy_target[1 + 1 * 5 + 3], 0xFF00001Fu);  // blue 0x20 blended opaque: one short
  EXPECT_EQ(legacy_target[1 + 2 * 5 + 4], 0xFF00009Fu);  // blue 0xA0
  EXPECT_EQ(legacy_target[1 + 0 * 5 + 3], kUnset);
  EXPECT_EQ(legacy_target[1 + 1 * 5 + 2], kUnset);
  // The source's third column is cut at the target's right edge, not wrapped onto the next row.
  EXPECT_EQ(legacy_target[1 + 2 * 5 + 0], kUnset);
}

}  // namespace
