#pragma once
// Bitmap text: the font storage, draw_text and the text console.
#include <cstdint>
#include <string_view>

#include "gfx/color.h"
#include "gfx/image_view.h"

// Three fonts back to back (8x8 at 0, 8x14 at 2048, 8x16 at 5632), then palette bytes.
constexpr int FONT_STORAGE_SIZE = 10742;
constexpr int FONT_TABLE_SIZE = 9728;

struct FontInfo {
  int width;
  int height;
  uint8_t* data;
};

// The raster layer's font storage: the built-in code page 437 fonts and the palettes from the
// start of the process until someone writes other glyphs over them.
uint8_t* font_storage();
// Puts the built-in fonts and palettes back (for tests that replaced the glyphs).
void reset_font_storage();
// Font 0, 1 or 2 of the font list.
FontInfo font_info(int number);

// Draws text with its top-left at (x, y), painting only set glyph bits. A null text is error 1.
int draw_text(Image target, float x, float y, int mode, const char* text, int length, Color colour,
              Image font, int put_mode, void* putter, void* blender, void* parameter);
inline int draw_text(Image target, float x, float y, int mode, std::string_view text,
                     Color colour) {
  return draw_text(target, x, y, mode, text.data(), static_cast<int>(text.size()), colour, nullptr,
                   0, nullptr, nullptr, nullptr);
}

// Writes text at the text cursor in whole cells (foreground on background).
void print_text(std::string_view text, bool new_line);
// Puts the open screen's text cursor on the top-left cell, where set_screen_mode leaves it.
void reset_text_cursor();
