#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "gfx/draw_context.h"
#include "gfx/primitives.h"
#include "gfx/screen.h"
#include "gfx/write_rules.h"

namespace {

constexpr int kLeft = 1, kRight = 2, kBelow = 4, kAbove = 8;

int outcode(const ClipRect& c, int x, int y) {
  int code = 0;
  if (x < c.x) {
    code |= kLeft;
  } else if (x >= c.x + c.w) {
    code |= kRight;
  }
  if (y < c.y) {
    code |= kAbove;
  } else if (y >= c.y + c.h) {
    code |= kBelow;
  }
  return code;
}

// Truncation towards zero that stays defined for any double.
int trunc_to_int(double v) {
  constexpr double kLimit = 1073741824.0;  // 2^30
  if (!(v > -kLimit)) return -static_cast<int>(kLimit);
  if (!(v < kLimit)) return static_cast<int>(kLimit);
  return static_cast<int>(v);
}

// Cohen-Sutherland on integer end points; P1 is always the point being moved. False = reject.
bool clip_line(const ClipRect& c, int& x1, int& y1, int& x2, int& y2) {
  int c1 = outcode(c, x1, y1), c2 = outcode(c, x2, y2);
  // Each pass moves P1 onto one clip edge; a handful of passes always suffices, the cap only
  // guards against rounding ping-pong.
  for (int pass = 0; pass < 16; ++pass) {
    if ((c1 | c2) == 0) return true;
    if (c1 & c2) return false;
    if (c1 == 0) {
      std::swap(x1, x2);
      std::swap(y1, y2);
      std::swap(c1, c2);
    }
    const double m = x1 == x2 ? 1.0 : static_cast<double>(y2 - y1) / static_cast<double>(x2 - x1);
    if (c1 & kLeft) {
      y1 = trunc_to_int(y1 + m * (c.x - x1));
      x1 = c.x;
    } else if (c1 & kRight) {
      y1 = trunc_to_int(y1 + m * (c.x + c.w - 1 - x1));
      x1 = c.x + c.w - 1;
    } else if (c1 & kAbove) {
      if (x1 != x2) x1 = trunc_to_int(x1 + (c.y - y1) / m);
      y1 = c.y;
    } else {
      if (x1 != x2) x1 = trunc_to_int(x1 + (c.y + c.h - 1 - y1) / m);
      y1 = c.y + c.h - 1;
    }
    c1 = outcode(c, x1, y1);
  }
  return false;
}

uint16_t reverse_bits16(uint16_t v) {
  uint16_t r = 0;
  for (int i = 0; i < 16; ++i) r = static_cast<uint16_t>(r | (((v >> i) & 1) << (15 - i)));
  return r;
}

// A dash pattern: bit 15 decides the first pixel, then each lower bit the next, repeating.
struct Dash {
  uint16_t style;
  uint16_t mask = 0x8000;
  bool next() {
    const bool on = (mask & style) != 0;
    mask = static_cast<uint16_t>((mask >> 1) | (mask << 15));
    return on;
  }
};

// The dashed outline of a box: bottom and top rows, then right and left columns, each only where
// that edge lies inside the clip rectangle; the dash pattern runs on around the outline.
void draw_box_outline(DrawContext& ctx, int x1, int y1, int x2, int y2, const ClippedRect& part,
                      uint32_t colour, uint16_t style) {
  const ClipRect& c = ctx.clip;
  const int cx1 = part.x, cx2 = part.x + part.w - 1;
  const int cy1 = part.y, cy2 = part.y + part.h - 1;
  Dash dash{style};
  auto row = [&](int y) {
    if (style == 0xFFFF) {
      ctx.write_span(pixel_address(ctx, cx1, y), part.w, colour);
      return;
    }
    for (int x = cx1; x <= cx2; ++x)
      if (dash.next()) ctx.write_pixel(ctx, x, y, colour);
  };
  auto column = [&](int x) {
    for (int y = cy1; y <= cy2; ++y)
      if (dash.next()) ctx.write_pixel(ctx, x, y, colour);
  };
  if (y2 < c.y + c.h) row(y2);
  if (y1 >= c.y) row(y1);
  if (x2 < c.x + c.w) column(x2);
  if (x1 >= c.x) column(x1);
}

void draw_box(DrawContext& ctx, int x1, int y1, int x2, int y2, uint32_t colour, int kind,
              uint16_t style) {
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  const ClippedRect part = clip_rect(ctx.clip, x1, y1, int64_t{x2} - x1 + 1, int64_t{y2} - y1 + 1);
  if (part.w == 0) return;
  lock_screen();
  const int64_t pixels = int64_t{part.w} * part.h;
  if (kind == LINE_KIND_FILLED_BOX && part.w * ctx.bytes_per_pixel == ctx.pitch &&
      pixels <= INT32_MAX) {
    // Whole rows lie back to back: one span (the per-frame clear and the fade overlay).
    ctx.write_span(pixel_address(ctx, part.x, part.y), static_cast<int>(pixels), colour);
  } else if (kind == LINE_KIND_FILLED_BOX) {
    for (int y = part.y; y < part.y + part.h; ++y)
      ctx.write_span(pixel_address(ctx, part.x, y), part.w, colour);
  } else {
    draw_box_outline(ctx, x1, y1, x2, y2, part, colour, style);
  }
  mark_drawn_rows(ctx, part.y, part.y + part.h - 1);
  unlock_screen_only();
}

// An axis-parallel line is walked from its low end; a pattern that runs from the high end is
// reversed and started where it would have ended there, so the same pixels light.
void walk_from_low_end(int& a1, int& a2, Dash& dash) {
  if (a1 <= a2) return;
  std::swap(a1, a2);
  dash.style = reverse_bits16(dash.style);
  dash.mask = static_cast<uint16_t>(1u << ((a2 - a1) % 16));
}

template <typename Write>
void draw_straight_line(DrawContext& ctx, int x1, int y1, int x2, int y2, uint32_t colour,
                        Dash dash, Write write) {
  if (x1 == x2) {
    walk_from_low_end(y1, y2, dash);
    for (int y = y1; y <= y2; ++y)
      if (dash.next()) write(x1, y, colour);
    return;
  }
  walk_from_low_end(x1, x2, dash);
  if (dash.style == 0xFFFF) {
    ctx.write_span(pixel_address(ctx, x1, y1), x2 - x1 + 1, colour);
    return;
  }
  for (int x = x1; x <= x2; ++x)
    if (dash.next()) write(x, y1, colour);
}

// Bresenham from P1 to P2, one pixel per step along the longer axis.
template <typename Plot>
void draw_sloped_line(int x1, int y1, int x2, int y2, Plot plot) {
  const int dx = std::abs(x2 - x1), dy = std::abs(y2 - y1);
  const int sx = x2 > x1 ? 1 : -1, sy = y2 > y1 ? 1 : -1;
  int x = x1, y = y1;
  if (dx >= dy) {
    int err = 2 * dy - dx;
    for (int i = 0; i <= dx; ++i) {
      plot(x, y);
      if (err >= 0) {
        y += sy;
        err -= 2 * dx;
      }
      err += 2 * dy;
      x += sx;
    }
  } else {
    int err = 2 * dx - dy;
    for (int i = 0; i <= dy; ++i) {
      plot(x, y);
      if (err >= 0) {
        x += sx;
        err -= 2 * dy;
      }
      err += 2 * dx;
      y += sy;
    }
  }
}

void draw_clipped_line(DrawContext& ctx, int x1, int y1, int x2, int y2, uint32_t colour,
                       uint16_t style) {
  if (!clip_line(ctx.clip, x1, y1, x2, y2)) return;
  lock_screen();
  with_pixel_writer(ctx, [&](auto write) {
    if (x1 == x2 || y1 == y2) {
      draw_straight_line(ctx, x1, y1, x2, y2, colour, Dash{style}, write);
      return;
    }
    Dash dash{style};
    draw_sloped_line(x1, y1, x2, y2, [&](int x, int y) {
      if (dash.next()) write(x, y, colour);
    });
  });
  mark_drawn_rows(ctx, std::min(y1, y2), std::max(y1, y2));
  unlock_screen_only();
}

}  // namespace

void draw_line(Image target, float x1, float y1, float x2, float y2, Color colour, int kind,
               int style, int mode) {
  if (!current_screen()) return;
  DrawContext& ctx = draw_context();
  select_target(ctx, target);
  const uint32_t pixel = mode < 0 ? ctx.foreground : fix_color(ctx.bytes_per_pixel, colour);
  select_write_rule(ctx, pixel);
  const auto pattern = static_cast<uint16_t>(style & 0xFFFF);
  apply_coord_mode(ctx, mode, x1, y1, &x2, &y2);
  int px1, py1, px2, py2;
  to_pixel_coords(ctx, x1, y1, px1, py1);
  to_pixel_coords(ctx, x2, y2, px2, py2);
  if (kind != LINE_KIND_LINE) {
    draw_box(ctx, px1, py1, px2, py2, pixel, kind, pattern);
  } else {
    draw_clipped_line(ctx, px1, py1, px2, py2, pixel, pattern);
  }
}
