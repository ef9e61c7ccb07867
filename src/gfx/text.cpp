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
constexpr auto kPalettes = make_palettes();

uint8_t g_storage[FONT_STORAGE_SIZE];

// Text cursor, in cells from the top-left of the text area (all rows of the screen).
int g_cursor_column = 0;
int g_cursor_row = 0;

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

// Paints one whole cell: set bits in the foreground, clear bits in the background colour.
void paint_cell(DrawContext& ctx, const FontInfo& font, int column, int row, uint8_t code) {
  const int x0 = column * font.width;
  const int y0 = row * font.height;
  const int bytes_per_row = (font.width + 7) / 8;
  const uint8_t* glyph = font.data + code * font.height * bytes_per_row;
  for (int r = 0; r < font.height; ++r) {
    const int y = y0 + r;
    if (y < ctx.clip_y || y >= ctx.clip_y + ctx.clip_h) continue;
    for (int i = 0; i < font.width; ++i) {
      const int x = x0 + i;
      if (x < ctx.clip_x || x >= ctx.clip_x + ctx.clip_w) continue;
      const bool set = (glyph[r * bytes_per_row + i / 8] >> (i % 8)) & 1;
      ctx.write_pixel(ctx, x, y, set ? ctx.foreground : ctx.background);
    }
  }
  mark_drawn_rows(ctx, y0, y0 + font.height - 1);
}

}  // namespace

uint8_t* font_storage() {
  return g_storage;
}

FontInfo font_info(int number) {
  switch (number) {
    case 0:
      return {8, 8, g_storage};
    case 1:
      return {8, 14, g_storage + 2048};
    case 2:
      return {8, 16, g_storage + 5632};
    default:
      return {0, 0, nullptr};
  }
}

void fill_builtin_font_storage(uint8_t* storage) {
  uint8_t* at = storage;
  at = std::copy(kBuiltin8x8.begin(), kBuiltin8x8.end(), at);
  at = std::copy(kBuiltin8x14.begin(), kBuiltin8x14.end(), at);
  at = std::copy(kBuiltin8x16.begin(), kBuiltin8x16.end(), at);
  std::copy(kPalettes.begin(), kPalettes.end(), at);
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
  const int64_t w = screen_font.width, h = screen_font.height;
  const int64_t bytes_per_row = (w + 7) / 8;
  const int64_t cx = ctx.clip_x, cy = ctx.clip_y, cw = ctx.clip_w, ch = ctx.clip_h;
  int64_t px = pixel_x, py = pixel_y, n = length < 0 ? 0 : length;

  if (n == 0 || px + w * n <= cx || px >= cx + cw || py + h <= cy || py >= cy + ch) {
    unlock_screen(1, 0);
    return set_last_error(ERROR_NONE);
  }
  // Rows: cut the glyphs at the top and bottom of the clip rectangle.
  int64_t rows = h, skip = 0;
  if (py < cy) {
    skip = (cy - py) * bytes_per_row;
    rows -= cy - py;
    py = cy;
  }
  if (py + rows > cy + ch) rows -= (py + rows) - (cy + ch);
  // Columns: whole characters off the left edge are skipped, those starting beyond the right
  // edge dropped; the ones across an edge are cut pixel by pixel below.
  int64_t first = 0;
  if (px < cx) {
    first = (cx - px) / w;
    px += first * w;
  }
  if (px + (n - first) * w > cx + cw) n += ((first - n) * w + cx + cw - px) / w;

  with_pixel_writer(ctx, [&](auto write) {
    for (int64_t k = first; k < n; ++k) {
      const int64_t pen_x = px + (k - first) * w;
      if (pen_x + w <= cx) continue;
      if (pen_x >= cx + cw) break;
      const auto code = static_cast<uint8_t>(text[k]);
      const uint8_t* glyph = screen_font.data + code * h * bytes_per_row + skip;
      for (int64_t row = 0; row < rows; ++row, glyph += bytes_per_row) {
        for (int64_t i = 0; i < w; ++i) {
          if (!((glyph[i / 8] >> (i % 8)) & 1)) continue;
          const int64_t gx = pen_x + i;
          if (gx >= cx && gx < cx + cw)
            write(static_cast<int>(gx), static_cast<int>(py + row), pixel);
        }
      }
    }
  });
  mark_drawn_rows(ctx, static_cast<int>(py), static_cast<int>(py + rows - 1));
  unlock_screen(1, 0);
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
  select_write_rule(ctx, 0xFF000000u);
  lock_screen();
  const FontInfo font = font_info(0);
  const int columns = screen->text_columns, rows = screen->text_rows;
  if (columns <= 0 || rows <= 0) {
    unlock_screen(1, 0);
    return;
  }
  g_cursor_row = std::min(g_cursor_row, rows - 1);
  std::vector<TextCell>& cells = screen->text_cells[static_cast<size_t>(ctx.work_page)];
  auto next_row = [&] {
    g_cursor_column = 0;
    if (++g_cursor_row >= rows) {
      scroll_text_area(ctx, *screen, font.height);
      g_cursor_row = rows - 1;
    }
  };
  for (char c : text) {
    if (g_cursor_column >= columns) next_row();
    const auto code = static_cast<uint8_t>(c);
    paint_cell(ctx, font, g_cursor_column, g_cursor_row, code);
    cells[static_cast<size_t>(g_cursor_row * columns + g_cursor_column)] =
        TextCell{code, ctx.foreground, ctx.background};
    ++g_cursor_column;
  }
  if (new_line) next_row();
  unlock_screen(1, 0);
}

void reset_text_cursor() {
  g_cursor_column = 0;
  g_cursor_row = 0;
}
