#pragma once
// The data the drawing layer works on: the screen's pages as a drawing surface, and the drawing
// context every primitive goes through (target, row table, clip rectangle, default colours and
// write rules). Types only; the operations are in draw_context.h and write_rules.h.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gfx/color.h"

// Bits of Surface::flags.
constexpr uint32_t SCREEN_FLAG_BLENDED = 0x8;
constexpr uint32_t SCREEN_FLAG_BOOST = 0x20;
constexpr uint32_t SCREEN_FLAG_GL = 0x20000000;
constexpr uint32_t SCREEN_FLAG_MMX = 0x1000000;

// The screen as drawing sees it: equally sized pages, which one is shown, and a flag per line of
// the shown page that the window must fetch again.
struct Surface {
  int serial = 0;
  std::vector<uint8_t*> pages;  // 16-byte aligned, pitch * height bytes each
  int visible_index = 0;
  int width = 0;
  int height = 0;
  int depth = 0;
  int bytes_per_pixel = 0;
  int pitch = 0;
  uint32_t colour_mask = 0;
  std::vector<uint8_t> dirty_lines;
  uint32_t flags = 0;
};

struct DrawContext;
using WritePixelFn = void (*)(DrawContext& ctx, int x, int y, uint32_t pixel);
using ReadPixelFn = uint32_t (*)(const DrawContext& ctx, int x, int y);
using WriteSpanFn = void (*)(uint8_t* address, int count, uint32_t pixel);

// DrawContext::flags
constexpr uint32_t CONTEXT_FRESH = 1;
constexpr uint32_t CONTEXT_IMAGE_TARGET = 2;
constexpr uint32_t CONTEXT_WINDOW_MAPPING = 4;
constexpr uint32_t CONTEXT_WINDOW_Y_DOWN = 8;
constexpr uint32_t CONTEXT_ABSOLUTE = 0x20;

// Bit 31 of a primitive's mode asks for the context's default colour.
constexpr int MODE_DEFAULT_COLOUR = static_cast<int>(0x80000000u);

// The colour whose write rule is the plain store: primitives that copy or fill without blending
// choose their rules with it.
constexpr Color OPAQUE_BLACK = COLOR_ALPHA;

// x, y, width, height of the drawable part of a target.
struct ClipRect {
  int x = 0, y = 0, w = 0, h = 0;
};

struct DrawContext {
  int screen_id = 0;
  Surface* surface = nullptr;  // the screen the context was built for; null once it closed
  int work_page = 0;
  std::vector<uint8_t*> rows;
  int bytes_per_pixel = 0;
  int pitch = 0;
  const void* last_target = nullptr;
  float last_x = 0;
  float last_y = 0;
  ClipRect clip;
  ClipRect saved_clip;
  float window_mapping[4] = {};
  Color foreground = 0;
  Color background = 0;
  WritePixelFn write_pixel = nullptr;
  ReadPixelFn read_pixel = nullptr;
  WriteSpanFn write_span = nullptr;
  uint32_t flags = 0;
};

// Address of pixel (x, y) of the current target.
inline uint8_t* pixel_address(const DrawContext& ctx, int x, int y) {
  return ctx.rows[static_cast<size_t>(y)] + static_cast<ptrdiff_t>(x) * ctx.bytes_per_pixel;
}
