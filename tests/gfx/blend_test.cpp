#include <gtest/gtest.h>

#include "gfx/color.h"

namespace {

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

}  // namespace
