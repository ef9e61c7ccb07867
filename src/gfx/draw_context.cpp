#include "gfx/draw_context.h"

#include <cmath>
#include <cstring>

#include "gfx/screen.h"
#include "gfx/write_rules.h"

namespace {

DrawContext g_context;

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
  ctx.row_capacity = static_cast<int>(ctx.rows.size());
  for (int i = 0; i < count; ++i)
    ctx.rows[static_cast<size_t>(i)] = start + static_cast<ptrdiff_t>(i) * ctx.pitch;
}

void rebuild(DrawContext& ctx, const Screen& screen) {
  ctx = DrawContext{};
  ctx.screen_id = screen.serial;
  ctx.rows.resize(static_cast<size_t>(screen.height));
  ctx.row_capacity = screen.height;
  ctx.saved_clip[0] = 0;
  ctx.saved_clip[1] = 0;
  ctx.saved_clip[2] = screen.width;
  ctx.saved_clip[3] = screen.height;
  ctx.foreground = (screen.depth >= 5 && screen.depth <= 8) ? 15u : screen.colour_mask;
  ctx.background = ctx.foreground & 0xFF000000u;
  ctx.flags = CONTEXT_FRESH;
  select_target(ctx, nullptr);
  select_write_rule(ctx, 0xFF000000u);
}

}  // namespace

ImageView image_view(Image image, int screen_bytes_per_pixel) {
  auto* bytes = static_cast<uint8_t*>(image);
  uint32_t first;
  std::memcpy(&first, bytes, 4);
  if (first == IMAGE_TYPE) {
    ImageHeader header;
    std::memcpy(&header, bytes, sizeof header);
    return {bytes + sizeof(ImageHeader), header.bytes_per_pixel, static_cast<int>(header.width),
            static_cast<int>(header.height), static_cast<int>(header.pitch)};
  }
  int bpp = static_cast<int>(first & 7);
  if (bpp == 0) bpp = screen_bytes_per_pixel;
  const int width = static_cast<int>((first >> 3) & 0x1FFF);
  const int height = static_cast<int>(first >> 16);
  return {bytes + 4, bpp, width, height, width * bpp};
}

DrawContext& draw_context() {
  const Screen* screen = current_screen();
  if (screen && g_context.screen_id != screen->serial) rebuild(g_context, *screen);
  return g_context;
}

void select_target(DrawContext& ctx, Image target) {
  const Screen* screen = current_screen();
  if (!screen) return;
  if (target && target != ctx.last_target) {
    if (!(ctx.flags & CONTEXT_IMAGE_TARGET)) {
      ctx.saved_clip[0] = ctx.clip_x;
      ctx.saved_clip[1] = ctx.clip_y;
      ctx.saved_clip[2] = ctx.clip_w;
      ctx.saved_clip[3] = ctx.clip_h;
    }
    const ImageView view = image_view(target, screen->bytes_per_pixel);
    ctx.clip_x = 0;
    ctx.clip_y = 0;
    ctx.clip_w = view.width;
    ctx.clip_h = view.height;
    ctx.bytes_per_pixel = view.bytes_per_pixel;
    ctx.pitch = view.pitch;
    use_plain_rules(ctx, view.bytes_per_pixel);
    fill_rows(ctx, view.pixels, view.height);
    ctx.flags |= CONTEXT_IMAGE_TARGET;
  } else if (!target && (ctx.flags & (CONTEXT_FRESH | CONTEXT_IMAGE_TARGET))) {
    ctx.clip_x = ctx.saved_clip[0];
    ctx.clip_y = ctx.saved_clip[1];
    ctx.clip_w = ctx.saved_clip[2];
    ctx.clip_h = ctx.saved_clip[3];
    ctx.bytes_per_pixel = screen->bytes_per_pixel;
    ctx.pitch = screen->pitch;
    fill_rows(ctx, screen->pages[static_cast<size_t>(ctx.work_page)], screen->height);
    use_plain_rules(ctx, screen->bytes_per_pixel);
    ctx.flags &= ~(CONTEXT_FRESH | CONTEXT_IMAGE_TARGET);
  }
  ctx.last_target = target;
}

void select_write_rule(DrawContext& ctx, Color colour) {
  const Screen* screen = current_screen();
  const bool blend = screen && (screen->flags & SCREEN_FLAG_BLENDED) && ctx.bytes_per_pixel == 4 &&
                     (colour & 0xFF000000u) != 0xFF000000u;
  if (blend) {
    use_blend_rules(ctx);
  } else {
    use_plain_rules(ctx, ctx.bytes_per_pixel);
  }
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
    if (w[2] != 0) fx = (fx - w[0]) * static_cast<float>(ctx.clip_w) / w[2];
    if (w[3] != 0) fy = (fy - w[1]) * static_cast<float>(ctx.clip_h) / w[3];
  }
  x = round_half_away(fx);
  y = round_half_away(fy);
  if ((ctx.flags & CONTEXT_WINDOW_MAPPING) && !(ctx.flags & CONTEXT_WINDOW_Y_DOWN)) {
    y = ctx.clip_h - 1 - y;
  }
  if (!(ctx.flags & CONTEXT_ABSOLUTE)) {
    x += ctx.clip_x;
    y += ctx.clip_y;
  }
}

bool draws_on_visible_page(const DrawContext& ctx) {
  const Screen* screen = current_screen();
  return screen && !(ctx.flags & CONTEXT_IMAGE_TARGET) && ctx.work_page == screen->visible_index;
}

void mark_drawn_rows(const DrawContext& ctx, int first, int last) {
  if (!draws_on_visible_page(ctx)) return;
  Screen* screen = current_screen();
  if (first < 0) first = 0;
  if (last >= screen->height) last = screen->height - 1;
  for (int y = first; y <= last; ++y) screen->dirty_lines[static_cast<size_t>(y)] = 1;
}
