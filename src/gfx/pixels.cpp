#include "gfx/draw_context.h"
#include "gfx/primitives.h"
#include "gfx/screen.h"
#include "gfx/write_rules.h"

void plot_pixel(Image target, float x, float y, Color colour, int mode, int use_background) {
  if (!current_screen()) return;
  DrawContext& ctx = draw_context();
  select_target(ctx, target);
  uint32_t pixel;
  if (mode < 0) {
    pixel = use_background ? ctx.background : ctx.foreground;
  } else {
    pixel = fix_color(ctx.bytes_per_pixel, colour);
  }
  select_write_rule(ctx, pixel);
  apply_coord_mode(ctx, mode, x, y);
  int px, py;
  to_pixel_coords(ctx, x, y, px, py);
  if (!clip_contains(ctx.clip, px, py)) return;
  lock_screen();
  ctx.write_pixel(ctx, px, py, pixel);
  mark_drawn_rows(ctx, py, py);
  unlock_screen_only();
}
