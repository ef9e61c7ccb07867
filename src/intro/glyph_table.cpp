#include "intro/glyph_table.h"

#include <array>
#include <cstring>

#include "gfx/fonts/glyph_source.h"
#include "gfx/text.h"

namespace {

constexpr std::string_view kGlyphs8x8 =
#include "intro/glyphs/font_8x8.glyphs"
    ;
constexpr std::string_view kGlyphs8x14 =
#include "intro/glyphs/font_8x14.glyphs"
    ;
constexpr std::string_view kGlyphs8x16 =
#include "intro/glyphs/font_8x16.glyphs"
    ;

constexpr auto kFont8x8 = glyph_source::parse<8>(kGlyphs8x8);
constexpr auto kFont8x14 = glyph_source::parse<14>(kGlyphs8x14);
constexpr auto kFont8x16 = glyph_source::parse<16>(kGlyphs8x16);

// The glyphs by which the table is recognised; an edit of the files must keep them.
using glyph_source::glyph_is;
static_assert(glyph_is(kFont8x8, 8, 0x01, {0x7E, 0x81, 0xA5, 0x81, 0xBD, 0x99, 0x81, 0x7E}));
static_assert(glyph_is(kFont8x8, 8, 0x41, {0x3E, 0x63, 0x63, 0x7F, 0x63, 0x63, 0x63, 0x00}));
static_assert(glyph_is(kFont8x8, 8, 0xC6, {0xDB, 0xDB, 0x7E, 0x18, 0x7E, 0xDB, 0xDB, 0x00}));
static_assert(glyph_is(kFont8x8, 8, 0xE0, {0x00, 0x00, 0x1E, 0x30, 0x3E, 0x33, 0x7E, 0x00}));
static_assert(glyph_is(kFont8x8, 8, 0xB9, {0x71, 0x13, 0x57, 0xB5, 0x5D, 0x19, 0xD1, 0x00}));
static_assert(glyph_is(kFont8x14, 14, 0x41,
                       {0x00, 0x00, 0x08, 0x1C, 0x36, 0x63, 0x63, 0x7F, 0x63, 0x63, 0x63, 0x63,
                        0x00, 0x00}));
static_assert(glyph_is(kFont8x14, 14, 0xC4,
                       {0x00, 0x00, 0x78, 0x6C, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0xFF,
                        0xC3, 0x81}));
static_assert(glyph_is(kFont8x16, 16, 0x41,
                       {0x00, 0x00, 0x08, 0x1C, 0x36, 0x63, 0x63, 0x7F, 0x63, 0x63, 0x63, 0x63,
                        0x00, 0x00, 0x00, 0x00}));
static_assert(glyph_is(kFont8x16, 16, 0xD4,
                       {0x00, 0x3C, 0x18, 0x7E, 0xDB, 0xDB, 0xDB, 0xDB, 0xDB, 0x7E, 0x18, 0x3C,
                        0x00, 0x00, 0x00, 0x00}));
static_assert(glyph_is(kFont8x16, 16, 0xA9,
                       {0x00, 0x00, 0x3E, 0x63, 0x03, 0x13, 0x1F, 0x13, 0x03, 0x03, 0x63, 0x3E,
                        0x00, 0x00, 0x00, 0x00}));

constexpr std::array<uint8_t, GLYPH_TABLE_SIZE> join_fonts() {
  std::array<uint8_t, GLYPH_TABLE_SIZE> table{};
  size_t at = 0;
  for (uint8_t b : kFont8x8) table[at++] = b;
  for (uint8_t b : kFont8x14) table[at++] = b;
  for (uint8_t b : kFont8x16) table[at++] = b;
  return table;
}
constexpr std::array<uint8_t, GLYPH_TABLE_SIZE> kTable = join_fonts();
static_assert(kFont8x8.size() + kFont8x14.size() + kFont8x16.size() == GLYPH_TABLE_SIZE);

}  // namespace

// The table is a plain array, which cannot be initialised from a std::array: spell it out
// element by element (9728 = 9 * 1024 + 2 * 256).
#define GT1(i) kTable[i]
#define GT4(i) GT1(i), GT1(i + 1), GT1(i + 2), GT1(i + 3)
#define GT16(i) GT4(i), GT4(i + 4), GT4(i + 8), GT4(i + 12)
#define GT64(i) GT16(i), GT16(i + 16), GT16(i + 32), GT16(i + 48)
#define GT256(i) GT64(i), GT64(i + 64), GT64(i + 128), GT64(i + 192)
#define GT1024(i) GT256(i), GT256(i + 256), GT256(i + 512), GT256(i + 768)
const uint8_t GlyphTable[GLYPH_TABLE_SIZE] = {
    GT1024(0),    GT1024(1024), GT1024(2048), GT1024(3072), GT1024(4096), GT1024(5120),
    GT1024(6144), GT1024(7168), GT1024(8192), GT256(9216),  GT256(9472)};
#undef GT1024
#undef GT256
#undef GT64
#undef GT16
#undef GT4
#undef GT1

void install_glyph_table() {
  // The three fonts lie back to back from font 0's data; the palette bytes after them stay.
  std::memcpy(font_info(0).data, GlyphTable, GLYPH_TABLE_SIZE);
}
