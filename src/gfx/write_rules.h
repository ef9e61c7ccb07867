#pragma once
// The write rules of the drawing context: plain stores per pixel width and the blended 32-bit
// rule, chosen per primitive from its colour.
#include <cstdint>

#include "gfx/color.h"
#include "gfx/draw_state.h"

// Plain or blended write rules for the colour, for the whole primitive: blended when the surface
// asked for blended primitives, the target has 32-bit pixels and the colour is not opaque.
void select_write_rule(DrawContext& ctx, Color colour);
// Sets write_pixel, read_pixel and write_span for plain stores of the given pixel width.
void use_plain_rules(DrawContext& ctx, int bytes_per_pixel);
// Sets write_pixel and write_span to the blend rule (32-bit targets only).
void use_blend_rules(DrawContext& ctx);

// True when ctx.write_pixel is the plain 4-byte store or the blend rule: loops that write many
// pixels then inline the rule instead of calling it per pixel.
bool writes_plain_4(const DrawContext& ctx);
bool writes_blend(const DrawContext& ctx);

// Runs body(write), where write(x, y, pixel) does what ctx.write_pixel does, inlined for the
// 32-bit rules.
template <typename Body>
void with_pixel_writer(DrawContext& ctx, Body&& body) {
  if (writes_plain_4(ctx)) {
    body([&ctx](int x, int y, uint32_t pixel) {
      *reinterpret_cast<uint32_t*>(pixel_address(ctx, x, y)) = pixel;
    });
  } else if (writes_blend(ctx)) {
    body([&ctx](int x, int y, uint32_t pixel) {
      auto* p = reinterpret_cast<uint32_t*>(pixel_address(ctx, x, y));
      *p = blend_pixel(pixel, *p, pixel >> 24);
    });
  } else {
    body([&ctx](int x, int y, uint32_t pixel) { ctx.write_pixel(ctx, x, y, pixel); });
  }
}
