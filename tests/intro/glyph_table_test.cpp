#include "intro/glyph_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "gfx/text.h"

namespace {

struct Font {
  int height, offset;
} constexpr kFonts[] = {{8, 0}, {14, 2048}, {16, 5632}};

using Rows = std::vector<uint8_t>;

Rows glyph(const Font& font, int code) {
  const uint8_t* start = GlyphTable + font.offset + code * font.height;
  return {start, start + font.height};
}

// The columns a glyph uses (a bit mask), and its first and last lit rows (-1 when blank).
struct Extent {
  uint8_t columns = 0;
  int top = -1, bottom = -1;
};

Extent extent(const Font& font, int code) {
  Extent e;
  const Rows rows = glyph(font, code);
  for (int r = 0; r < font.height; ++r) {
    e.columns |= rows[r];
    if (rows[r] && e.top < 0) e.top = r;
    if (rows[r]) e.bottom = r;
  }
  return e;
}

TEST(GlyphTable, RepertoireRulesHoldInAllThreeFonts) {
  // Of 0x80..0xBF only the typographic marks and the two Cyrillic capitals are drawn.
  const std::vector<int> upper = {0x82, 0x84, 0x88, 0x91, 0x92, 0x93, 0x94, 0x96,
                                  0x97, 0x98, 0xA1, 0xA2, 0xA8, 0xA9, 0xAF, 0xB2,
                                  0xB3, 0xB8, 0xB9, 0xBA, 0xBD, 0xBE, 0xBF};
  const int cap_top[] = {0, 2, 2}, cap_bottom[] = {6, 11, 11}, descent[] = {7, 13, 14};
  for (int f = 0; f < 3; ++f) {
    const Font& font = kFonts[f];
    SCOPED_TRACE(font.height);
    for (int c = 0; c <= 0xFF; ++c) {
      const bool drawn = c >= 0x80 && c < 0xC0
                             ? std::find(upper.begin(), upper.end(), c) != upper.end()
                             : c != 0x00 && c != 0x20;
      EXPECT_EQ(extent(font, c).top >= 0, drawn) << std::hex << c;
      // ASCII leaves the rightmost column clear.
      if (c > 0x20 && c < 0x7F) {
        EXPECT_EQ(extent(font, c).columns & 0x80, 0) << char(c);
      }
    }
    // Quotes and dashes share their bitmaps; Cyrillic capitals are not their small letters.
    EXPECT_EQ(glyph(font, 0x84), glyph(font, 0x93));
    EXPECT_EQ(glyph(font, 0x93), glyph(font, 0x94));
    EXPECT_EQ(glyph(font, 0x91), glyph(font, 0x92));
    EXPECT_EQ(glyph(font, 0x96), glyph(font, 0x97));
    EXPECT_NE(glyph(font, 0x91), glyph(font, 0x93));
    EXPECT_NE(glyph(font, 0xC0), glyph(font, 0xE0));
    // Wide Cyrillic letters fill the cell: Д Ф Щ Ю д ф щ ъ ю.
    for (int c : {0xC4, 0xD4, 0xD9, 0xDE, 0xE4, 0xF4, 0xF9, 0xFA, 0xFE})
      EXPECT_EQ(extent(font, c).columns & 0x81, 0x81) << std::hex << c;
    // Capitals and digits sit on the same rows (Q's tail is a descender); descenders of g p q y
    // and of р у reach the same depth.
    for (int c = 0x30; c <= 0x5A; ++c) {
      if ((c > 0x39 && c < 0x41) || c == 'Q') continue;
      EXPECT_EQ(extent(font, c).top, cap_top[f]) << char(c);
      EXPECT_EQ(extent(font, c).bottom, cap_bottom[f]) << char(c);
    }
    for (int c : {int{'g'}, int{'p'}, int{'q'}, int{'y'}, 0xF0, 0xF3})
      EXPECT_EQ(extent(font, c).bottom, descent[f]) << std::hex << c;
  }
}

}  // namespace
