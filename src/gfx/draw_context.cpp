#include "gfx/draw_context.h"

#include <algorithm>

#include "gfx/write_rules.h"

namespace {

// Where coordinates that are not numbers or exceed the int range end up: far outside any page,
// yet small enough that adding a clip origin or a width cannot overflow.
constexpr double kFarAway = 536870912.0;  // 2^29

int round_half_away(float f) {
  const double v = f;  // exact; rounding in float could carry 0.49999997 up to 1
  if (!(v > -kFarAway && v < kFarAway))
    return v > 0 ? static_cast<int>(kFarAway) : -static_cast<int>(kFarAway);
  // The conversion truncates towards zero; both sums are exact in double at this range.
  return static_cast<int>(v > 0 ? v + 0.5 : v - 0.5);
}

void fill_rows(DrawContext& ctx, uint8_t* start, int count) {
  if (static_cast<int>(ctx.rows.size()) < count) ctx.rows.resize(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i)
    ctx.rows[static_cast<size_t>(i)] = start + static_cast<ptrdiff_t>(i) * ctx.pitch;
}

void target_image(DrawContext& ctx, const Surface& surface, Image target) {
  if (!(ctx.flags & CONTEXT_IMAGE_TARGET)) ctx.saved_clip = ctx.clip;
  const ImageView view = image_view(target, surface.bytes_per_pixel);
  ctx.clip = ClipRect{0, 0, view.width, view.height};
  ctx.bytes_per_pixel = view.bytes_per_pixel;
  ctx.pitch = view.pitch;
  use_plain_rules(ctx, view.bytes_per_pixel);
  fill_rows(ctx, view.pixels, view.height);
  ctx.flags |= CONTEXT_IMAGE_TARGET;
}

void target_work_page(DrawContext& ctx, const Surface& surface) {
  ctx.clip = ctx.saved_clip;
  ctx.bytes_per_pixel = surface.bytes_per_pixel;
  ctx.pitch = surface.pitch;
  fill_rows(ctx, surface.pages[static_cast<size_t>(ctx.work_page)], surface.height);
  use_plain_rules(ctx, surface.bytes_per_pixel);
  ctx.flags &= ~(CONTEXT_FRESH | CONTEXT_IMAGE_TARGET);
}

}  // namespace

void build_draw_context(DrawContext& ctx, Surface& surface) {
  ctx = DrawContext{};
  ctx.screen_id = surface.serial;
  ctx.surface = &surface;
  ctx.rows.resize(static_cast<size_t>(surface.height));
  ctx.saved_clip = ClipRect{0, 0, surface.width, surface.height};
  ctx.foreground = (surface.depth >= 5 && surface.depth <= 8) ? 15u : surface.colour_mask;
  ctx.background = ctx.foreground & COLOR_ALPHA;
  ctx.flags = CONTEXT_FRESH;
  select_target(ctx, nullptr);
  select_write_rule(ctx, OPAQUE_BLACK);
}

void select_target(DrawContext& ctx, Image target) {
  if (!ctx.surface) return;
  if (target && target != ctx.last_target) {
    target_image(ctx, *ctx.surface, target);
  } else if (!target && (ctx.flags & (CONTEXT_FRESH | CONTEXT_IMAGE_TARGET))) {
    target_work_page(ctx, *ctx.surface);
  }
  ctx.last_target = target;
}

void apply_coord_mode(DrawContext& ctx, int mode, float& x1, float& y1, float* x2, float* y2) {
  const bool has_second = x2 && y2;
  switch (mode & 7) {
    case 1:
      if (has_second) {
        *x2 += x1;
        *y2 += y1;
      }
      break;
    case 2:
    case 5:
      x1 += ctx.last_x;
      y1 += ctx.last_y;
      break;
    case 3:
      x1 += ctx.last_x;
      y1 += ctx.last_y;
      if (has_second) {
        *x2 += x1;
        *y2 += y1;
      }
      break;
    default:
      break;
  }
  ctx.last_x = has_second ? *x2 : x1;
  ctx.last_y = has_second ? *y2 : y1;
}

void to_pixel_coords(const DrawContext& ctx, float fx, float fy, int& x, int& y) {
  if (ctx.flags & CONTEXT_WINDOW_MAPPING) {
    // Scale from the logical window to the clip rectangle.
    const float* w = ctx.window_mapping;
    if (w[2] != 0) fx = (fx - w[0]) * static_cast<float>(ctx.clip.w) / w[2];
    if (w[3] != 0) fy = (fy - w[1]) * static_cast<float>(ctx.clip.h) / w[3];
  }
  x = round_half_away(fx);
  y = round_half_away(fy);
  if ((ctx.flags & CONTEXT_WINDOW_MAPPING) && !(ctx.flags & CONTEXT_WINDOW_Y_DOWN)) {
    y = ctx.clip.h - 1 - y;
  }
  if (!(ctx.flags & CONTEXT_ABSOLUTE)) {
    x += ctx.clip.x;
    y += ctx.clip.y;
  }
}

ClippedRect clip_rect(const ClipRect& clip, int64_t x, int64_t y, int64_t w, int64_t h) {
  const int64_t left = std::max<int64_t>(x, clip.x);
  const int64_t top = std::max<int64_t>(y, clip.y);
  const int64_t right = std::min<int64_t>(x + w, int64_t{clip.x} + clip.w);
  const int64_t bottom = std::min<int64_t>(y + h, int64_t{clip.y} + clip.h);
  if (w <= 0 || h <= 0 || left >= right || top >= bottom) return {clip.x, clip.y, 0, 0, 0, 0};
  return {static_cast<int>(left),         static_cast<int>(top),         left - x, top - y,
          static_cast<int>(right - left), static_cast<int>(bottom - top)};
}

bool draws_on_visible_page(const DrawContext& ctx) {
  return ctx.surface && !(ctx.flags & CONTEXT_IMAGE_TARGET) &&
         ctx.work_page == ctx.surface->visible_index;
}

void mark_drawn_rows(const DrawContext& ctx, int first, int last) {
  if (!draws_on_visible_page(ctx)) return;
  std::vector<uint8_t>& dirty = ctx.surface->dirty_lines;
  first = std::max(first, 0);
  last = std::min(last, ctx.surface->height - 1);
  for (int y = first; y <= last; ++y) dirty[static_cast<size_t>(y)] = 1;
}
