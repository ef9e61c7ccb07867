#include "gfx/write_rules.h"

#include <cstring>

#include "gfx/color.h"
#include "gfx/fast_paths.h"

namespace {

void write_pixel_1(DrawContext& ctx, int x, int y, uint32_t pixel) {
  *pixel_address(ctx, x, y) = static_cast<uint8_t>(pixel);
}
void write_pixel_2(DrawContext& ctx, int x, int y, uint32_t pixel) {
  const uint16_t word = static_cast<uint16_t>(pixel);
  std::memcpy(pixel_address(ctx, x, y), &word, 2);
}
void write_pixel_4(DrawContext& ctx, int x, int y, uint32_t pixel) {
  *reinterpret_cast<uint32_t*>(pixel_address(ctx, x, y)) = pixel;
}
void write_pixel_blend(DrawContext& ctx, int x, int y, uint32_t pixel) {
  auto* p = reinterpret_cast<uint32_t*>(pixel_address(ctx, x, y));
  *p = blend_pixel(pixel, *p, pixel >> 24);
}

uint32_t read_pixel_1(const DrawContext& ctx, int x, int y) {
  return *pixel_address(ctx, x, y);
}
uint32_t read_pixel_2(const DrawContext& ctx, int x, int y) {
  uint16_t word;
  std::memcpy(&word, pixel_address(ctx, x, y), 2);
  return word;
}
uint32_t read_pixel_4(const DrawContext& ctx, int x, int y) {
  return *reinterpret_cast<const uint32_t*>(pixel_address(ctx, x, y));
}

void write_span_1(uint8_t* address, int count, uint32_t pixel) {
  if (count > 0) std::memset(address, static_cast<uint8_t>(pixel), static_cast<size_t>(count));
}
void write_span_2(uint8_t* address, int count, uint32_t pixel) {
  const uint16_t word = static_cast<uint16_t>(pixel);
  for (int i = 0; i < count; ++i) std::memcpy(address + 2 * i, &word, 2);
}

}  // namespace

void select_write_rule(DrawContext& ctx, Color colour) {
  const bool blend = ctx.surface && (ctx.surface->flags & SCREEN_FLAG_BLENDED) &&
                     ctx.bytes_per_pixel == 4 && !is_opaque(colour);
  if (blend) {
    use_blend_rules(ctx);
  } else {
    use_plain_rules(ctx, ctx.bytes_per_pixel);
  }
}

void use_plain_rules(DrawContext& ctx, int bytes_per_pixel) {
  switch (bytes_per_pixel) {
    case 1:
      ctx.write_pixel = write_pixel_1;
      ctx.read_pixel = read_pixel_1;
      ctx.write_span = write_span_1;
      break;
    case 2:
      ctx.write_pixel = write_pixel_2;
      ctx.read_pixel = read_pixel_2;
      ctx.write_span = write_span_2;
      break;
    default:
      ctx.write_pixel = write_pixel_4;
      ctx.read_pixel = read_pixel_4;
      ctx.write_span = pixel_kernels().span_fill;
      break;
  }
}

bool writes_plain_4(const DrawContext& ctx) {
  return ctx.write_pixel == write_pixel_4;
}

bool writes_blend(const DrawContext& ctx) {
  return ctx.write_pixel == write_pixel_blend;
}

void use_blend_rules(DrawContext& ctx) {
  ctx.write_pixel = write_pixel_blend;
  ctx.read_pixel = read_pixel_4;
  ctx.write_span = pixel_kernels().span_blend;
}
