#pragma once
// The drawing state every primitive goes through: target, row table, clip rectangle, default
// colours and write rules.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gfx/color.h"
#include "gfx/image.h"

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

struct DrawContext {
  int screen_id = 0;
  int work_page = 0;
  std::vector<uint8_t*> rows;
  int row_capacity = 0;
  int bytes_per_pixel = 0;
  int pitch = 0;
  const void* last_target = nullptr;
  float last_x = 0;
  float last_y = 0;
  int clip_x = 0, clip_y = 0, clip_w = 0, clip_h = 0;
  int saved_clip[4] = {};
  float window_mapping[4] = {};
  Color foreground = 0;
  Color background = 0;
  WritePixelFn write_pixel = nullptr;
  ReadPixelFn read_pixel = nullptr;
  WriteSpanFn write_span = nullptr;
  const void* alpha_blitters = nullptr;
  uint32_t flags = 0;
};

// The context, rebuilt first when it belongs to another screen. With no screen open it is
// returned unchanged.
DrawContext& draw_context();
// Points the context at an image, or at the screen's work page for null.
void select_target(DrawContext& ctx, Image target);
// Plain or blended write rules for the colour, for the whole primitive.
void select_write_rule(DrawContext& ctx, Color colour);
// Turns relative coordinates absolute (mode = low 3 bits) and updates the last point.
void apply_coord_mode(DrawContext& ctx, int mode, float& x1, float& y1, float* x2 = nullptr,
                      float* y2 = nullptr);
// Rounds half away from zero into pixel coordinates of the current target. NaN, infinities and
// values beyond the int range land far outside any page.
void to_pixel_coords(const DrawContext& ctx, float fx, float fy, int& x, int& y);

// True when the context draws on the page the window shows.
bool draws_on_visible_page(const DrawContext& ctx);
// Sets the dirty flags of rows first..last (clamped to the screen) when drawing on the shown page.
void mark_drawn_rows(const DrawContext& ctx, int first, int last);

// Address of pixel (x, y) of the current target.
inline uint8_t* pixel_address(const DrawContext& ctx, int x, int y) {
  return ctx.rows[static_cast<size_t>(y)] + static_cast<ptrdiff_t>(x) * ctx.bytes_per_pixel;
}
