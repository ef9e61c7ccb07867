#include <gtest/gtest.h>

#include <random>

#include "gfx/color.h"
#include "gfx/pixel_kernels.h"

namespace {

// Channel by channel: d + floor((s - d) * a / 256), with an arithmetic (flooring) division.
uint32_t blend_by_channels(uint32_t s, uint32_t d, uint32_t a) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int sc = static_cast<int>((s >> shift) & 0xFF),
              dc = static_cast<int>((d >> shift) & 0xFF);
    const int diff = (sc - dc) * static_cast<int>(a);
    const int floored = diff >= 0 ? diff / 256 : -((-diff + 255) / 256);
    out |= static_cast<uint32_t>(dc + floored) << shift;
  }
  return out;
}

TEST(Blend, PackedFormAgreesWithChannelFormOnEveryChannel) {
  std::mt19937 rng(7);
  for (int i = 0; i < 2000000; ++i) {
    const uint32_t s = rng(), d = rng(), a = rng() & 0xFF;
    ASSERT_EQ(blend_pixel(s, d, a), blend_by_channels(s, d, a))
        << std::hex << s << " " << d << " " << a;
  }
  for (uint32_t a = 0; a < 256; ++a) {  // extremes of every channel
    for (uint32_t s : {0x00000000u, 0xFFFFFFFFu, 0x00FF00FFu, 0xFF00FF00u}) {
      for (uint32_t d : {0x00000000u, 0xFFFFFFFFu, 0x00FF00FFu, 0xFF00FF00u}) {
        ASSERT_EQ(blend_pixel(s, d, a), blend_by_channels(s, d, a));
      }
    }
  }
}

TEST(Blend, WorkedExamples) {
  EXPECT_EQ(blend_pixel(0x80FFFFFFu, 0xFF000000u, 0x80) & 0x00FFFFFFu, 0x007F7F7Fu);
  EXPECT_EQ(blend_pixel(0x4000FF00u, 0xFF0000FFu, 0x40) & 0x00FFFFFFu, 0x00003FBFu);
  // Alpha 0 keeps the picture; opaque white over black comes out one short.
  EXPECT_EQ(blend_pixel(0x00000000u, 0xFF123456u, 0) & 0x00FFFFFFu, 0x00123456u);
  EXPECT_EQ(blend_pixel(0xFFFFFFFFu, 0xFF000000u, 0xFF) & 0x00FFFFFFu, 0x00FEFEFEu);
  EXPECT_EQ(blend_pixel(0xFF000000u, 0xFFFFFFFFu, 0xFF) & 0x00FFFFFFu, 0u);
}

TEST(Blend, SpanReferenceBlendsEachPixelWithTheColoursAlpha) {
  uint32_t row[5] = {0xFF000000u, 0xFFFFFFFFu, 0xFF808080u, 0x00000000u, 0xFF102030u};
  uint32_t expected[5];
  for (int i = 0; i < 5; ++i) expected[i] = blend_pixel(0x60C0A080u, row[i], 0x60);
  span_blend_reference(reinterpret_cast<uint8_t*>(row), 5, 0x60C0A080u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(row[i], expected[i]);
}

TEST(Color, FixColorPerPixelWidth) {
  EXPECT_EQ(fix_color(4, 0x12345678u), 0x12345678u);
  EXPECT_EQ(fix_color(2, 0x00FFFFFFu), 0xFFFFu);
  EXPECT_EQ(fix_color(2, 0x00FF0000u), 0xF800u);
  EXPECT_EQ(fix_color(2, 0x0000FF00u), 0x07E0u);
  EXPECT_EQ(fix_color(2, 0x000000FFu), 0x001Fu);
  EXPECT_EQ(fix_color(1, 0x123456ABu), 0xABu);
}

}  // namespace
