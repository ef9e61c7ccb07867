#pragma once
// The intro's own three fonts, with Windows-1251 Cyrillic in the upper half.
#include <cstdint>

constexpr int GLYPH_TABLE_SIZE = 9728;
extern const uint8_t GlyphTable[GLYPH_TABLE_SIZE];

// Copies the GlyphTable over the raster layer's three fonts.
void install_glyph_table();
