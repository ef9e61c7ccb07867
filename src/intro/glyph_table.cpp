#include "intro/glyph_table.h"

// Placeholder until the glyphs land.
const uint8_t GlyphTable[GLYPH_TABLE_SIZE] = {};
void install_glyph_table() {}
