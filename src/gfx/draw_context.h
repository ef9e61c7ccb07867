#pragma once
// Operations on the drawing context: building it for a surface, pointing it at a target, turning
// coordinates into pixels, clipping, and marking the rows a primitive changed on the shown page.
// Everything works on the context and the surface it was built for; nothing here looks for the
// open screen.
#include "gfx/draw_state.h"
#include "gfx/image_view.h"

// Resets the context for a surface: the whole work page 0 as target, opaque white on opaque
// black (the colour mask and its alpha byte below 32 bits), plain write rules.
void build_draw_context(DrawContext& ctx, Surface& surface);
// Points the context at an image, or at the surface's work page for null. Does nothing without
// a surface.
void select_target(DrawContext& ctx, Image target);
// Turns relative coordinates absolute (mode = low 3 bits) and updates the last point.
void apply_coord_mode(DrawContext& ctx, int mode, float& x1, float& y1, float* x2 = nullptr,
                      float* y2 = nullptr);
// Rounds half away from zero into pixel coordinates of the current target. NaN, infinities and
// values beyond the int range land far outside any page.
void to_pixel_coords(const DrawContext& ctx, float fx, float fy, int& x, int& y);

// A rectangle of w x h pixels placed at (x, y) and cut to a clip rectangle: where it lands and
// how many of its first columns and rows were cut off. Sizes in 64 bits so that far-away
// coordinates cannot overflow.
struct ClippedRect {
  int x, y;                // top-left inside the clip rectangle
  int64_t skip_x, skip_y;  // columns and rows cut off on the left and top
  int w, h;                // what is left; both 0 when nothing is
};
ClippedRect clip_rect(const ClipRect& clip, int64_t x, int64_t y, int64_t w, int64_t h);
inline bool clip_contains(const ClipRect& clip, int x, int y) {
  return x >= clip.x && y >= clip.y && x < clip.x + clip.w && y < clip.y + clip.h;
}

// True when the context draws on the page the window shows.
bool draws_on_visible_page(const DrawContext& ctx);
// Sets the dirty flags of rows first..last (clamped to the surface) when drawing on the shown
// page.
void mark_drawn_rows(const DrawContext& ctx, int first, int last);
