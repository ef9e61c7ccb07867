#include "gfx/image.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "gfx/draw_context.h"
#include "gfx/error.h"
#include "gfx/fast_paths.h"
#include "gfx/screen.h"
#include "gfx/write_rules.h"

namespace {

// The raw allocation's address sits just before the header; the header itself starts on a
// 16-byte boundary so that every row does.
constexpr size_t kPointerRoom = 16;
constexpr size_t kAlignment = 16;

uint32_t default_fill(int bytes_per_pixel) {
  if (bytes_per_pixel == 4) return 0xFFFF00FFu;
  if (bytes_per_pixel == 2) return 0xF81Fu;
  return 0;
}

uint32_t rgb565(Color c) {
  return ((c & 0xF80000u) >> 8) | ((c & 0xFC00u) >> 5) | ((c & 0xF8u) >> 3);
}

void alpha_blit_4(const uint8_t* src, uint8_t* dst, int width, int height, int src_pitch,
                  int dst_pitch) {
  for (int y = 0; y < height; ++y) {
    alpha_blit_row_fast(
        reinterpret_cast<const uint32_t*>(src + static_cast<ptrdiff_t>(y) * src_pitch),
        reinterpret_cast<uint32_t*>(dst + static_cast<ptrdiff_t>(y) * dst_pitch), width);
  }
}

// Pixels of 1 and 2 bytes carry no alpha: they count as opaque and are copied. Source first, with
// a pitch for each side (the page kernels' row copy takes the destination first, one pitch).
void move_rows_from_to(const uint8_t* src, uint8_t* dst, int row_bytes, int height, int src_pitch,
                       int dst_pitch) {
  for (int y = 0; y < height; ++y) {
    std::memmove(dst + static_cast<ptrdiff_t>(y) * dst_pitch,
                 src + static_cast<ptrdiff_t>(y) * src_pitch, static_cast<size_t>(row_bytes));
  }
}

void alpha_blit_1(const uint8_t* src, uint8_t* dst, int width, int height, int src_pitch,
                  int dst_pitch) {
  move_rows_from_to(src, dst, width, height, src_pitch, dst_pitch);
}

void alpha_blit_2(const uint8_t* src, uint8_t* dst, int width, int height, int src_pitch,
                  int dst_pitch) {
  move_rows_from_to(src, dst, width * 2, height, src_pitch, dst_pitch);
}

using AlphaRoutine = void (*)(const uint8_t*, uint8_t*, int, int, int, int);
// By target bytes per pixel, 1 to 4; there are no 3-byte targets.
constexpr AlphaRoutine kAlphaRoutines[4] = {alpha_blit_1, alpha_blit_2, nullptr, alpha_blit_4};

// The part of a source image that put_image copies.
struct SourceRect {
  int64_t x, y, w, h;
};

// Corners ordered and clamped into the image, both inclusive; IMAGE_WHOLE as x1 takes it all.
SourceRect source_rect(const ImageView& src, int x1, int y1, int x2, int y2) {
  if (x1 == IMAGE_WHOLE) return {0, 0, src.width, src.height};
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  const auto clamp = [](int v, int size) { return v < 0 ? 0 : v >= size ? size - 1 : v; };
  x1 = clamp(x1, src.width);
  x2 = clamp(x2, src.width);
  y1 = clamp(y1, src.height);
  y2 = clamp(y2, src.height);
  return {x1, y1, int64_t{x2} - x1 + 1, int64_t{y2} - y1 + 1};
}

// 1-byte source onto a 4-byte target: each source byte becomes the destination's alpha.
void alpha_mask_blit(const uint8_t* src, uint8_t* dst, int width, int height, int src_pitch,
                     int dst_pitch, int, void*, void*) {
  for (int y = 0; y < height; ++y) {
    const uint8_t* s = src + static_cast<ptrdiff_t>(y) * src_pitch;
    uint8_t* d = dst + static_cast<ptrdiff_t>(y) * dst_pitch;
    for (int x = 0; x < width; ++x) d[4 * x + 3] = s[x];
  }
}

// Plain copy for callers that pass no blitter outside the alpha mode.
void copy_blit(const uint8_t* src, uint8_t* dst, int width, int height, int src_pitch,
               int dst_pitch, int, void*, void*) {
  const int bpp = draw_context().bytes_per_pixel;
  move_rows_from_to(src, dst, width * bpp, height, src_pitch, dst_pitch);
}

// Room for the header and height rows of pitch bytes, the header on a 16-byte boundary and the
// raw allocation's address just before it; null when that much cannot be had.
uint8_t* allocate_image(uint64_t pitch, int height) {
  const uint64_t pixel_bytes = pitch * static_cast<uint64_t>(height);
  // The header stores the pitch in 32 bits and rows are addressed with int pitches.
  if (pitch > INT32_MAX || pixel_bytes > SIZE_MAX - sizeof(ImageHeader) - kPointerRoom - kAlignment)
    return nullptr;
  auto* raw = static_cast<uint8_t*>(
      std::malloc(kPointerRoom + kAlignment + sizeof(ImageHeader) + pixel_bytes));
  if (!raw) return nullptr;
  const uintptr_t after_room = reinterpret_cast<uintptr_t>(raw) + kPointerRoom;
  auto* header_bytes = raw + (((after_room + kAlignment - 1) & ~(kAlignment - 1)) -
                              reinterpret_cast<uintptr_t>(raw));
  std::memcpy(header_bytes - sizeof(void*), &raw, sizeof(void*));
  return header_bytes;
}

}  // namespace

Image create_image(int width, int height, Color colour, int depth, int flags) {
  DrawContext& ctx = draw_context();
  const Screen* screen = current_screen();
  if (!screen || width <= 0 || height <= 0) {
    set_last_error(ERROR_ILLEGAL_CALL);
    return nullptr;
  }
  int bpp = screen->bytes_per_pixel;
  if (depth > 0) {
    bpp = static_cast<int>((static_cast<int64_t>(depth) + 7) / 8);
    if (bpp != 1 && bpp != 2 && bpp != 4) {
      set_last_error(ERROR_ILLEGAL_CALL);
      return nullptr;
    }
  }
  uint32_t fill = colour;
  if (flags < 0) {
    fill = default_fill(bpp);
  } else if (bpp == 2) {
    fill = rgb565(colour);
  }

  const uint64_t pitch = (static_cast<uint64_t>(width) * static_cast<uint64_t>(bpp) + 15) / 16 * 16;
  uint8_t* header_bytes = allocate_image(pitch, height);
  if (!header_bytes) {
    set_last_error(ERROR_OUT_OF_MEMORY);
    return nullptr;
  }
  ImageHeader header{};
  header.type = IMAGE_TYPE;
  header.bytes_per_pixel = bpp;
  header.width = static_cast<uint32_t>(width);
  header.height = static_cast<uint32_t>(height);
  header.pitch = static_cast<uint32_t>(pitch);
  std::memcpy(header_bytes, &header, sizeof header);

  Image image = header_bytes;
  select_target(ctx, image);
  select_write_rule(ctx, OPAQUE_BLACK);
  // The fill covers the padding pixels too; row by row keeps every count within int.
  const int pixels_per_row = static_cast<int>(pitch) / bpp;
  for (int y = 0; y < height; ++y)
    ctx.write_span(ctx.rows[static_cast<size_t>(y)], pixels_per_row, fill);
  set_last_error(ERROR_NONE);
  return image;
}

void destroy_image(Image image) {
  if (!image) return;
  // A later image may reuse this address; the context must not take it for its current target.
  DrawContext& ctx = draw_context();
  if (ctx.last_target == image) select_target(ctx, nullptr);
  if (ctx.last_target == image) ctx.last_target = nullptr;
  void* raw;
  std::memcpy(&raw, static_cast<uint8_t*>(image) - sizeof(void*), sizeof(void*));
  std::free(raw);
}

void alpha_blit(const uint8_t* src, uint8_t* dst, int width, int height, int src_pitch,
                int dst_pitch, int, void*, void*) {
  const int bpp = draw_context().bytes_per_pixel;
  if (bpp < 1 || bpp > 4) return;
  const AlphaRoutine routine = kAlphaRoutines[bpp - 1];
  if (routine) routine(src, dst, width, height, src_pitch, dst_pitch);
}

namespace {

// The blitter for a source of the given pixel width, or null when it cannot go onto the target.
Blitter choose_blitter(const DrawContext& ctx, int source_bytes_per_pixel, int mode,
                       Blitter given) {
  const Blitter blitter = given ? given : mode == PUT_MODE_ALPHA ? alpha_blit : copy_blit;
  if (source_bytes_per_pixel == ctx.bytes_per_pixel) return blitter;
  // A 1-byte source in alpha mode on a 32-bit target is an alpha mask.
  if (source_bytes_per_pixel == 1 && mode == PUT_MODE_ALPHA && ctx.bytes_per_pixel == 4)
    return alpha_mask_blit;
  return nullptr;
}

}  // namespace

int put_image(Image target, float x, float y, Image source, int x1, int y1, int x2, int y2,
              int coordinate_type, int mode, Blitter blitter, int alpha, void* blender,
              void* parameter) {
  DrawContext& ctx = draw_context();
  const Screen* screen = current_screen();
  if (!screen || !source) return set_last_error(ERROR_ILLEGAL_CALL);
  select_target(ctx, target);
  select_write_rule(ctx, OPAQUE_BLACK);

  if (coordinate_type < 0 || coordinate_type > 3) return set_last_error(ERROR_ILLEGAL_CALL);
  apply_coord_mode(ctx, coordinate_type >= 2 ? 2 : 0, x, y);
  if (coordinate_type == 1 || coordinate_type == 3) {
    x2 = static_cast<int>(static_cast<uint32_t>(x2) + static_cast<uint32_t>(x1));
    y2 = static_cast<int>(static_cast<uint32_t>(y2) + static_cast<uint32_t>(y1));
  }
  int px, py;
  to_pixel_coords(ctx, x, y, px, py);

  const ImageView src = image_view(source, screen->bytes_per_pixel);
  blitter = choose_blitter(ctx, src.bytes_per_pixel, mode, blitter);
  if (!blitter) return set_last_error(ERROR_ILLEGAL_CALL);
  const SourceRect from = source_rect(src, x1, y1, x2, y2);
  const ClippedRect part = clip_rect(ctx.clip, px, py, from.w, from.h);
  if (part.w == 0) return set_last_error(ERROR_NONE);

  const uint8_t* start = src.pixels + (from.y + part.skip_y) * src.pitch +
                         (from.x + part.skip_x) * src.bytes_per_pixel;
  lock_screen();
  blitter(start, pixel_address(ctx, part.x, part.y), part.w, part.h, src.pitch, ctx.pitch, alpha,
          blender, parameter);
  mark_drawn_rows(ctx, part.y, part.y + part.h - 1);
  unlock_screen_only();
  return set_last_error(ERROR_NONE);
}
