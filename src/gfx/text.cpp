#include "gfx/text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "gfx/draw_context.h"
#include "gfx/error.h"
#include "gfx/fonts/glyph_source.h"
#include "gfx/screen.h"
#include "gfx/write_rules.h"

namespace {

constexpr std::string_view kCp437Glyphs8x8 =
#include "gfx/fonts/cp437_8x8.glyphs"
    ;
constexpr std::string_view kCp437Glyphs8x14 =
#include "gfx/fonts/cp437_8x14.glyphs"
    ;
constexpr std::string_view kCp437Glyphs8x16 =
#include "gfx/fonts/cp437_8x16.glyphs"
    ;

constexpr auto kBuiltin8x8 = glyph_source::parse<8>(kCp437Glyphs8x8);
constexpr auto kBuiltin8x14 = glyph_source::parse<14>(kCp437Glyphs8x14);
constexpr auto kBuiltin8x16 = glyph_source::parse<16>(kCp437Glyphs8x16);
static_assert(kBuiltin8x8.size() + kBuiltin8x14.size() + kBuiltin8x16.size() == FONT_TABLE_SIZE);

// The palettes after the fonts, RGB triples of 8-bit channels: 2, 16, 64 and 256 colours.
constexpr int kPaletteBytes = 3 * (2 + 16 + 64 + 256);
static_assert(FONT_TABLE_SIZE + kPaletteBytes == FONT_STORAGE_SIZE);

constexpr std::array<uint8_t, 3> cga_colour(int i) {
  const int bright = (i & 8) ? 0x55 : 0;
  const int r = ((i & 4) ? 0xAA : 0) + bright;
  int g = ((i & 2) ? 0xAA : 0) + bright;
  const int b = ((i & 1) ? 0xAA : 0) + bright;
  if (i == 6) g = 0x55;  // brown, not dark yellow
  return {static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
}

// Two bits per channel, as rgbRGB: the low bit adds 0xAA, the high one 0x55.
constexpr std::array<uint8_t, 3> ega_colour(int i) {
  auto channel = [i](int low, int high) {
    return static_cast<uint8_t>(((i >> low) & 1) * 0xAA + ((i >> high) & 1) * 0x55);
  };
  return {channel(2, 5), channel(1, 4), channel(0, 3)};
}

// The 16 CGA colours, a 6x6x6 colour cube and a ramp of 24 greys.
constexpr std::array<uint8_t, 3> colour_256(int i) {
  if (i < 16) return cga_colour(i);
  if (i < 232) {
    const int c = i - 16;
    return {static_cast<uint8_t>(c / 36 * 51), static_cast<uint8_t>(c / 6 % 6 * 51),
            static_cast<uint8_t>(c % 6 * 51)};
  }
  const auto grey = static_cast<uint8_t>(8 + (i - 232) * 10);
  return {grey, grey, grey};
}

constexpr std::array<uint8_t, kPaletteBytes> make_palettes() {
  std::array<uint8_t, kPaletteBytes> out{};
  size_t at = 0;
  auto put = [&](std::array<uint8_t, 3> rgb) {
    for (uint8_t channel : rgb) out[at++] = channel;
  };
  put({0, 0, 0});
  put({0xFF, 0xFF, 0xFF});
  for (int i = 0; i < 16; ++i) put(cga_colour(i));
  for (int i = 0; i < 64; ++i) put(ega_colour(i));
  for (int i = 0; i < 256; ++i) put(colour_256(i));
  return out;
}

using FontStorage = std::array<uint8_t, FONT_STORAGE_SIZE>;

constexpr FontStorage builtin_font_storage() {
  FontStorage out{};
  auto at = out.begin();
  at = std::copy(kBuiltin8x8.begin(), kBuiltin8x8.end(), at);
  at = std::copy(kBuiltin8x14.begin(), kBuiltin8x14.end(), at);
  at = std::copy(kBuiltin8x16.begin(), kBuiltin8x16.end(), at);
  const auto palettes = make_palettes();
  std::copy(palettes.begin(), palettes.end(), at);
  return out;
}

// Filled before the program runs: nothing has to remember to fill it.
constinit FontStorage g_storage = builtin_font_storage();

// Moves the work page's pixels and cells of every text row one row up and blanks the last row.
void scroll_text_area(DrawContext& ctx, Screen& screen, int cell_height) {
  const int rows = screen.text_rows;
  const int columns = screen.text_columns;
  const int text_height = rows * cell_height;
  const size_t row_bytes = static_cast<size_t>(screen.width) * screen.bytes_per_pixel;
  for (int y = 0; y + cell_height < text_height; ++y)
    std::memcpy(ctx.rows[static_cast<size_t>(y)], ctx.rows[static_cast<size_t>(y + cell_height)],
                row_bytes);
  for (int y = text_height - cell_height; y < text_height; ++y)
    ctx.write_span(ctx.rows[static_cast<size_t>(y)], screen.width, ctx.background);
  std::vector<TextCell>& cells = screen.text_cells[static_cast<size_t>(ctx.work_page)];
  std::move(cells.begin() + columns, cells.end(), cells.begin());
  std::fill(cells.end() - columns, cells.end(), TextCell{32, ctx.foreground, ctx.background});
  mark_drawn_rows(ctx, 0, text_height - 1);
}

// Bit i of a glyph row: the leftmost pixel is the lowest bit.
bool glyph_bit(const uint8_t* row, int64_t i) {
  return (row[i / 8] >> (i % 8)) & 1;
}

// Paints one whole cell: set bits in the foreground, clear bits in the background colour.
void paint_cell(DrawContext& ctx, const FontInfo& font, int column, int row, uint8_t code) {
  const int x0 = column * font.width;
  const int y0 = row * font.height;
  const int bytes_per_row = (font.width + 7) / 8;
  const uint8_t* glyph = font.data + code * font.height * bytes_per_row;
  for (int r = 0; r < font.height; ++r, glyph += bytes_per_row) {
    for (int i = 0; i < font.width; ++i) {
      if (!clip_contains(ctx.clip, x0 + i, y0 + r)) continue;
      ctx.write_pixel(ctx, x0 + i, y0 + r, glyph_bit(glyph, i) ? ctx.foreground : ctx.background);
    }
  }
  mark_drawn_rows(ctx, y0, y0 + font.height - 1);
}

// The set glyph bits of the visible part of a line of text: column c of the line is column
// c % width of glyph c / width.
void paint_glyph_bits(DrawContext& ctx, const FontInfo& font, const char* text,
                      const ClippedRect& part, uint32_t pixel) {
  const int64_t w = font.width;
  const int64_t bytes_per_row = (w + 7) / 8;
  const int64_t first = part.skip_x, end = part.skip_x + part.w;
  with_pixel_writer(ctx, [&](auto write) {
    for (int64_t k = first / w; k * w < end; ++k) {
      const auto code = static_cast<uint8_t>(text[k]);
      const uint8_t* glyph = font.data + (code * font.height + part.skip_y) * bytes_per_row;
      const int64_t from = std::max(k * w, first), to = std::min(k * w + w, end);
      for (int row = 0; row < part.h; ++row, glyph += bytes_per_row) {
        for (int64_t c = from; c < to; ++c) {
          if (glyph_bit(glyph, c - k * w))
            write(part.x + static_cast<int>(c - first), part.y + row, pixel);
        }
      }
    }
  });
}

}  // namespace

uint8_t* font_storage() {
  return g_storage.data();
}

void reset_font_storage() {
  g_storage = builtin_font_storage();
}

FontInfo font_info(int number) {
  switch (number) {
    case 0:
      return {8, 8, g_storage.data()};
    case 1:
      return {8, 14, g_storage.data() + kBuiltin8x8.size()};
    case 2:
      return {8, 16, g_storage.data() + kBuiltin8x8.size() + kBuiltin8x14.size()};
    default:
      return {0, 0, nullptr};
  }
}

int draw_text(Image target, float x, float y, int mode, const char* text, int length, Color colour,
              Image font, int /*put_mode*/, void* /*putter*/, void* /*blender*/,
              void* /*parameter*/) {
  if (!text) return set_last_error(ERROR_ILLEGAL_CALL);
  if (!current_screen()) return ERROR_NONE;
  // Image fonts are not supported: only the screen's own font draws.
  if (font) return set_last_error(ERROR_ILLEGAL_CALL);

  DrawContext& ctx = draw_context();
  select_target(ctx, target);
  const uint32_t pixel =
      (mode & MODE_DEFAULT_COLOUR) ? ctx.foreground : fix_color(ctx.bytes_per_pixel, colour);
  select_write_rule(ctx, pixel);
  apply_coord_mode(ctx, mode & 7, x, y);
  int pixel_x, pixel_y;
  to_pixel_coords(ctx, x, y, pixel_x, pixel_y);
  lock_screen();
  const FontInfo screen_font = font_info(0);
  const int64_t characters = length < 0 ? 0 : length;
  const ClippedRect part =
      clip_rect(ctx.clip, pixel_x, pixel_y, screen_font.width * characters, screen_font.height);
  if (part.w > 0) {
    paint_glyph_bits(ctx, screen_font, text, part, pixel);
    mark_drawn_rows(ctx, part.y, part.y + part.h - 1);
  }
  unlock_screen_only();
  return set_last_error(ERROR_NONE);
}

void print_text(std::string_view text, bool new_line) {
  Screen* screen = current_screen();
  if (!screen) {
    // Before a screen exists the text goes to the console.
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (new_line) std::fputc('\n', stdout);
    std::fflush(stdout);
    return;
  }
  DrawContext& ctx = draw_context();
  select_target(ctx, nullptr);
  select_write_rule(ctx, OPAQUE_BLACK);
  const int columns = screen->text_columns, rows = screen->text_rows;
  if (columns <= 0 || rows <= 0) return;
  lock_screen();
  const FontInfo font = font_info(0);
  TextCursor& cursor = screen->text_cursor;
  cursor.row = std::min(cursor.row, rows - 1);
  std::vector<TextCell>& cells = screen->text_cells[static_cast<size_t>(ctx.work_page)];
  auto next_row = [&] {
    cursor.column = 0;
    if (++cursor.row >= rows) {
      scroll_text_area(ctx, *screen, font.height);
      cursor.row = rows - 1;
    }
  };
  for (char c : text) {
    if (cursor.column >= columns) next_row();
    const auto code = static_cast<uint8_t>(c);
    paint_cell(ctx, font, cursor.column, cursor.row, code);
    cells[static_cast<size_t>(cursor.row * columns + cursor.column)] =
        TextCell{code, ctx.foreground, ctx.background};
    ++cursor.column;
  }
  if (new_line) next_row();
  unlock_screen_only();
}

void reset_text_cursor() {
  if (Screen* screen = current_screen()) screen->text_cursor = TextCursor{};
}
