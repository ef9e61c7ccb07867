#include "gfx/image.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <random>

#include "gfx/draw_context.h"
#include "gfx/error.h"
#include "gfx/null_screen.h"
#include "gfx/primitives.h"
#include "gfx/screen.h"
#include "gfx/text.h"

namespace {

constexpr Color kMagenta = 0xFFFF00FF;
constexpr Color kUnset = 0xFF000000;  // what the pages hold after a mode set

ImageHeader header_of(Image image) {
  ImageHeader h;
  std::memcpy(&h, image, sizeof h);
  return h;
}

uint8_t* pixel_ptr(Image image, int x, int y) {
  const ImageHeader h = header_of(image);
  return static_cast<uint8_t*>(image) + sizeof(ImageHeader) + static_cast<size_t>(y) * h.pitch +
         static_cast<size_t>(x) * static_cast<size_t>(h.bytes_per_pixel);
}

uint32_t get(Image image, int x, int y) {
  uint32_t v = 0;
  std::memcpy(&v, pixel_ptr(image, x, y), static_cast<size_t>(header_of(image).bytes_per_pixel));
  return v;
}

void set(Image image, int x, int y, uint32_t v) {
  std::memcpy(pixel_ptr(image, x, y), &v, static_cast<size_t>(header_of(image).bytes_per_pixel));
}

// A picture whose every pixel differs: the word tells where it came from.
Image numbered_image(int width, int height, uint32_t alpha = 0xFF000000) {
  Image image = create_image(width, height, 0, 32, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) set(image, x, y, alpha | static_cast<uint32_t>(y << 12 | x));
  }
  return image;
}

// What an alpha blit of s leaves on the black page.
uint32_t on_black(uint32_t s) {
  return blend_pixel(s, kUnset, s >> 24);
}

using ImageTest = NullScreen;

TEST_F(ImageTest, DefaultFillAndHeader) {
  Image image = create_image(512, 96, 0, 0, IMAGE_DEFAULT_FILL);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(last_error(), 0);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(image) % 16, 0u);
  const ImageHeader h = header_of(image);
  EXPECT_EQ(h.type, IMAGE_TYPE);
  EXPECT_EQ(h.bytes_per_pixel, 4);
  EXPECT_EQ(h.width, 512u);
  EXPECT_EQ(h.height, 96u);
  EXPECT_EQ(h.pitch, 2048u);
  for (int i = 4; i < 12; ++i) EXPECT_EQ(h.reserved[i], 0) << i;
  for (int y = 0; y < 96; ++y) {
    for (int x = 0; x < 512; ++x) ASSERT_EQ(get(image, x, y), kMagenta);
  }
  destroy_image(image);

  image = create_image(512, 128, 0x12345678, 32, IMAGE_DEFAULT_FILL);
  EXPECT_EQ(header_of(image).height, 128u);
  EXPECT_EQ(get(image, 511, 127), kMagenta);
  destroy_image(image);
}

TEST_F(ImageTest, PitchPaddingIsFilledToo) {
  Image image = create_image(3, 2, 0x11223344, 0, 0);
  ASSERT_EQ(header_of(image).pitch, 16u);
  EXPECT_EQ(get(image, 3, 0), 0x11223344u);  // the padding pixel
  EXPECT_EQ(get(image, 3, 1), 0x11223344u);
  destroy_image(image);
}

TEST_F(ImageTest, DepthsAndTheirFills) {
  Image wide = create_image(5, 1, 0x00FF8040, 16, 0);
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(header_of(wide).bytes_per_pixel, 2);
  EXPECT_EQ(header_of(wide).pitch, 16u);
  EXPECT_EQ(get(wide, 0, 0), 0xFC08u);  // RGB565 of the colour
  destroy_image(wide);
  wide = create_image(5, 1, 0, 9, IMAGE_DEFAULT_FILL);
  EXPECT_EQ(get(wide, 4, 0), 0xF81Fu);
  destroy_image(wide);

  Image index = create_image(17, 1, 0x1234, 8, 0);
  EXPECT_EQ(header_of(index).bytes_per_pixel, 1);
  EXPECT_EQ(header_of(index).pitch, 32u);
  EXPECT_EQ(get(index, 16, 0), 0x34u);
  destroy_image(index);
  index = create_image(2, 1, 0x1234, 1, IMAGE_DEFAULT_FILL);
  EXPECT_EQ(get(index, 1, 0), 0u);
  destroy_image(index);

  Image deep = create_image(1, 1, 0, 25, IMAGE_DEFAULT_FILL);
  EXPECT_EQ(header_of(deep).bytes_per_pixel, 4);
  destroy_image(deep);
}

TEST_F(ImageTest, RefusedSizesAndDepths) {
  for (auto [w, h, depth] : {std::tuple{0, 5, 32},
                             {5, 0, 32},
                             {-1, 5, 0},
                             {5, 5, 24},
                             {5, 5, 17},
                             {5, 5, 33},
                             {5, 5, INT_MAX}}) {
    EXPECT_EQ(create_image(w, h, 0, depth, 0), nullptr) << w << "x" << h << "@" << depth;
    EXPECT_EQ(last_error(), 1);
  }
  // Rows wider than the header's pitch field can describe.
  EXPECT_EQ(create_image(INT_MAX, 2, 0, 32, 0), nullptr);
  EXPECT_EQ(last_error(), 4);
  shutdown_screen();
  EXPECT_EQ(create_image(4, 4, 0, 32, 0), nullptr);
  EXPECT_EQ(last_error(), 1);
}

TEST_F(ImageTest, PrimitivesDrawIntoImages) {
  Image image = create_image(20, 10, 0xFF000000, 0, 0);
  draw_line(image, 2, 3, 17, 3, 0xFF00FF00, LINE_KIND_LINE, 0xFFFF, 0);
  plot_pixel(image, 4, 8, 0x80FFFFFF, 0, 0);
  EXPECT_EQ(get(image, 2, 3), 0xFF00FF00u);
  EXPECT_EQ(get(image, 17, 3), 0xFF00FF00u);
  EXPECT_EQ(get(image, 18, 3), 0xFF000000u);
  EXPECT_EQ(get(image, 4, 8) & 0xFFFFFF, 0x7F7F7Fu);  // blended as on the screen
  // The screen is untouched and its next primitive goes back to it.
  EXPECT_EQ(pixel(0, 2, 3), kUnset);
  plot_pixel(nullptr, 2, 3, 0xFFFFFFFF, 0, 0);
  EXPECT_EQ(pixel(0, 2, 3), 0xFFFFFFFFu);
  EXPECT_EQ(get(image, 2, 3), 0xFF00FF00u);

  // Boxes and text as well, clipped to the image.
  draw_line(image, 15, 6, 30, 30, 0xFF0000FF, LINE_KIND_FILLED_BOX, 0xFFFF, 0);
  EXPECT_EQ(get(image, 15, 6), 0xFF0000FFu);
  EXPECT_EQ(get(image, 19, 9), 0xFF0000FFu);
  EXPECT_EQ(get(image, 14, 6), 0xFF000000u);
  Image text = create_image(8, 8, 0xFF000000, 0, 0);
  draw_text(text, 0, 0, 0, "A", 0xFFFFFFFF);
  int lit = 0;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) lit += get(text, x, y) == 0xFFFFFFFFu;
  }
  EXPECT_GT(lit, 8);
  EXPECT_EQ(pixel(0, 3, 3), kUnset);
  destroy_image(text);
  destroy_image(image);
}

TEST_F(ImageTest, ReusedAddressIsNotMistakenForTheOldImage) {
  // Whatever addresses the allocator hands out, a new image must be drawn with its own geometry.
  for (int i = 0; i < 4; ++i) {
    Image small = create_image(4, 4, 0xFF000000, 0, 0);
    destroy_image(small);
    Image big = create_image(40, 30, 0xFF000000, 0, 0);
    draw_line(big, 0, 29, 39, 29, 0xFF0000FF, LINE_KIND_LINE, 0xFFFF, 0);
    EXPECT_EQ(get(big, 39, 29), 0xFF0000FFu);
    destroy_image(big);
  }
}

class PutImage : public NullScreen {
 protected:
  void SetUp() override {
    NullScreen::SetUp();
    source = numbered_image(512, 96);
  }
  void TearDown() override {
    destroy_image(source);
    NullScreen::TearDown();
  }
  Image source = nullptr;
};

TEST_F(PutImage, StripOfTheHeaderRowClampsItsRightEdge) {
  clear_dirty();
  ASSERT_EQ(put_image(nullptr, 64, 40, source, 0, 7, 512, 7, 0, PUT_MODE_ALPHA, alpha_blit, -1,
                      nullptr, nullptr),
            0);
  for (int x = 0; x < 512; ++x) ASSERT_EQ(pixel(0, 64 + x, 40), on_black(get(source, x, 7))) << x;
  EXPECT_EQ(pixel(0, 63, 40), kUnset);
  EXPECT_EQ(pixel(0, 576, 40), kUnset);
  EXPECT_EQ(pixel(0, 64, 41), kUnset);
  // Page 0 is shown after the mode set: exactly the drawn row is marked.
  EXPECT_EQ(dirty_count(), 1);
  EXPECT_EQ(current_screen()->dirty_lines[40], 1);
}

TEST_F(PutImage, RowsBeyondTheImageRepeatItsLastRow) {
  for (int i = 96; i < 100; ++i) {
    put_image(nullptr, 0, static_cast<float>(i), source, 0, i, 512, i, 0, PUT_MODE_ALPHA,
              alpha_blit, -1, nullptr, nullptr);
    EXPECT_EQ(pixel(0, 100, i), on_black(get(source, 100, 95)));
  }
  // Negative corners clamp to 0; reversed corners are put in order.
  put_image(nullptr, 0, 200, source, 5, 3, -9, -4, 0, PUT_MODE_ALPHA, alpha_blit, -1, nullptr,
            nullptr);
  EXPECT_EQ(pixel(0, 0, 200), on_black(get(source, 0, 0)));
  EXPECT_EQ(pixel(0, 5, 203), on_black(get(source, 5, 3)));
  EXPECT_EQ(pixel(0, 6, 203), kUnset);
  EXPECT_EQ(pixel(0, 0, 204), kUnset);
}

TEST_F(PutImage, NegativeDestinationSkipsSourcePixels) {
  put_image(nullptr, -3.4f, 10, source, 0, 2, 512, 2, 0, PUT_MODE_ALPHA, alpha_blit, -1, nullptr,
            nullptr);
  EXPECT_EQ(pixel(0, 0, 10), on_black(get(source, 3, 2)));
  EXPECT_EQ(pixel(0, 508, 10), on_black(get(source, 511, 2)));
  EXPECT_EQ(pixel(0, 509, 10), kUnset);
  // -0.5 rounds away from zero to -1.
  put_image(nullptr, -0.5f, 11, source, 0, 2, 512, 2, 0, PUT_MODE_ALPHA, alpha_blit, -1, nullptr,
            nullptr);
  EXPECT_EQ(pixel(0, 0, 11), on_black(get(source, 1, 2)));
}

TEST_F(PutImage, ClipsAgainstEveryEdge) {
  // Top-left corner: 5 rows and 7 columns cut off.
  put_image(nullptr, -7, -5, source, IMAGE_WHOLE, 0, 0, 0, 0, PUT_MODE_ALPHA, alpha_blit, -1,
            nullptr, nullptr);
  EXPECT_EQ(pixel(0, 0, 0), on_black(get(source, 7, 5)));
  EXPECT_EQ(pixel(0, 504, 90), on_black(get(source, 511, 95)));
  EXPECT_EQ(pixel(0, 505, 90), kUnset);
  EXPECT_EQ(pixel(0, 504, 91), kUnset);
  // Bottom-right corner.
  put_image(nullptr, 600, 450, source, IMAGE_WHOLE, 0, 0, 0, 0, PUT_MODE_ALPHA, alpha_blit, -1,
            nullptr, nullptr);
  EXPECT_EQ(pixel(0, 639, 479), on_black(get(source, 39, 29)));
  EXPECT_EQ(pixel(0, 599, 479), kUnset);
  // Entirely outside, or at coordinates that are no numbers: nothing drawn, no error.
  for (float far : {640.0f, -512.0f, 1e30f, -1e30f, NAN, INFINITY}) {
    clear_dirty();
    EXPECT_EQ(put_image(nullptr, far, 100, source, IMAGE_WHOLE, 0, 0, 0, 0, PUT_MODE_ALPHA,
                        alpha_blit, -1, nullptr, nullptr),
              0);
    EXPECT_EQ(dirty_count(), 0) << far;
  }
  EXPECT_EQ(put_image(nullptr, 0, 480, source, IMAGE_WHOLE, 0, 0, 0, 0, PUT_MODE_ALPHA, alpha_blit,
                      -1, nullptr, nullptr),
            0);
  EXPECT_EQ(dirty_count(), 0);
}

TEST_F(PutImage, CoordinateTypes) {
  // Type 1: the second corner is relative to the first.
  put_image(nullptr, 0, 300, source, 10, 20, 2, 1, 1, PUT_MODE_ALPHA, alpha_blit, -1, nullptr,
            nullptr);
  EXPECT_EQ(pixel(0, 2, 301), on_black(get(source, 12, 21)));
  EXPECT_EQ(pixel(0, 3, 301), kUnset);
  // Type 2: the destination is relative to the last point, which the call above left at (0, 300).
  put_image(nullptr, 5, 10, source, 0, 0, 0, 0, 2, PUT_MODE_ALPHA, alpha_blit, -1, nullptr,
            nullptr);
  EXPECT_EQ(pixel(0, 5, 310), on_black(get(source, 0, 0)));
  // Type 3: both.
  put_image(nullptr, 1, 1, source, 4, 4, 1, 0, 3, PUT_MODE_ALPHA, alpha_blit, -1, nullptr, nullptr);
  EXPECT_EQ(pixel(0, 7, 311), on_black(get(source, 5, 4)));
  clear_dirty();
  for (int type : {-1, 4, 7}) {
    EXPECT_EQ(put_image(nullptr, 0, 0, source, IMAGE_WHOLE, 0, 0, 0, type, PUT_MODE_ALPHA,
                        alpha_blit, -1, nullptr, nullptr),
              1);
  }
  EXPECT_EQ(dirty_count(), 0);
}

TEST_F(PutImage, AlphaBlendMatchesTheReferenceRule) {
  Image target = create_image(64, 64, 0, 32, 0);
  Image pixels = create_image(64, 64, 0, 32, 0);
  std::mt19937 random(7);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      set(target, x, y, random());
      set(pixels, x, y, random());
    }
  }
  // Edge alphas at known places.
  set(pixels, 0, 0, 0xFFFFFFFF);
  set(target, 0, 0, 0xFF000000);
  set(pixels, 1, 0, 0x00FFFFFF);
  set(pixels, 2, 0, 0xFF102030);
  set(target, 2, 0, 0xFF405060);
  std::vector<uint32_t> before(64 * 64);
  for (int i = 0; i < 64 * 64; ++i) before[static_cast<size_t>(i)] = get(target, i % 64, i / 64);

  ASSERT_EQ(put_image(target, 0, 0, pixels, IMAGE_WHOLE, 0, 0, 0, 0, PUT_MODE_ALPHA, alpha_blit, -1,
                      nullptr, nullptr),
            0);
  for (int i = 0; i < 64 * 64; ++i) {
    const uint32_t s = get(pixels, i % 64, i / 64), d = before[static_cast<size_t>(i)];
    ASSERT_EQ(get(target, i % 64, i / 64) & 0xFFFFFF, blend_pixel(s, d, s >> 24) & 0xFFFFFF) << i;
  }
  EXPECT_EQ(get(target, 0, 0) & 0xFFFFFF, 0xFEFEFEu);  // opaque white over black
  EXPECT_EQ(get(target, 1, 0) & 0xFFFFFF, before[1] & 0xFFFFFF);
  EXPECT_EQ(get(target, 2, 0) & 0xFFFFFF, 0x102030u);  // darker source comes out exact
  destroy_image(target);
  destroy_image(pixels);
}

TEST_F(PutImage, PixelWidthsMustMatchExceptAlphaMasks) {
  Image wide = create_image(4, 4, 0x1234, 16, 0);
  clear_dirty();
  EXPECT_EQ(put_image(nullptr, 0, 0, wide, IMAGE_WHOLE, 0, 0, 0, 0, PUT_MODE_ALPHA, alpha_blit, -1,
                      nullptr, nullptr),
            1);
  EXPECT_EQ(dirty_count(), 0);

  Image mask = create_image(3, 1, 0, 8, 0);
  set(mask, 0, 0, 0x00);
  set(mask, 1, 0, 0x7F);
  set(mask, 2, 0, 0xFF);
  EXPECT_EQ(
      put_image(nullptr, 0, 0, mask, IMAGE_WHOLE, 0, 0, 0, 0, 0, nullptr, -1, nullptr, nullptr), 1);
  Image target = create_image(4, 1, 0x80123456, 32, 0);
  ASSERT_EQ(put_image(target, 1, 0, mask, IMAGE_WHOLE, 0, 0, 0, 0, PUT_MODE_ALPHA, alpha_blit, -1,
                      nullptr, nullptr),
            0);
  EXPECT_EQ(get(target, 0, 0), 0x80123456u);
  EXPECT_EQ(get(target, 1, 0), 0x00123456u);
  EXPECT_EQ(get(target, 2, 0), 0x7F123456u);
  EXPECT_EQ(get(target, 3, 0), 0xFF123456u);
  destroy_image(wide);
  destroy_image(mask);
  destroy_image(target);
}

TEST_F(PutImage, MissingSourceOrScreen) {
  EXPECT_EQ(put_image(nullptr, 0, 0, nullptr, IMAGE_WHOLE, 0, 0, 0, 0, PUT_MODE_ALPHA, alpha_blit,
                      -1, nullptr, nullptr),
            1);
  EXPECT_EQ(last_error(), 1);
  shutdown_screen();
  EXPECT_EQ(put_image(nullptr, 0, 0, source, IMAGE_WHOLE, 0, 0, 0, 0, PUT_MODE_ALPHA, alpha_blit,
                      -1, nullptr, nullptr),
            1);
  ASSERT_EQ(set_screen_mode(640, 480, 32, 2, 0xC0, 0), 0);
}

TEST_F(PutImage, LegacyHeadersAsSourceAndTarget) {
  // Bits 0-2 bytes per pixel (0 = the screen's), 3-15 width, 16-31 height.
  alignas(16) uint32_t legacy_source[1 + 3 * 2] = {(2u << 16) | (3u << 3) | 0u};
  for (uint32_t i = 1; i <= 6; ++i) legacy_source[i] = 0xFF000000u | (i << 5);
  alignas(16) uint32_t legacy_target[1 + 5 * 3] = {(3u << 16) | (5u << 3) | 4u};
  for (int i = 1; i <= 15; ++i) legacy_target[i] = kUnset;
  ASSERT_EQ(put_image(legacy_target, 3, 1, legacy_source, IMAGE_WHOLE, 0, 0, 0, 0, PUT_MODE_ALPHA,
                      alpha_blit, -1, nullptr, nullptr),
            0);
  EXPECT_EQ(legacy_target[1 + 1 * 5 + 3], on_black(legacy_source[1]));
  EXPECT_EQ(legacy_target[1 + 2 * 5 + 4], on_black(legacy_source[5]));
  EXPECT_EQ(legacy_target[1 + 0 * 5 + 3], kUnset);
  EXPECT_EQ(legacy_target[1 + 1 * 5 + 2], kUnset);
  // The source's third column is cut at the target's right edge, not wrapped onto the next row.
  EXPECT_EQ(legacy_target[1 + 2 * 5 + 0], kUnset);
}

}  // namespace
