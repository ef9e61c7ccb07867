#pragma once
// Off-screen images: a 32-byte header followed by 16-byte aligned rows.
#include <cstdint>

#include "gfx/color.h"

constexpr uint32_t IMAGE_TYPE = 7;

struct ImageHeader {
  uint32_t type;  // IMAGE_TYPE
  int32_t bytes_per_pixel;
  uint32_t width;
  uint32_t height;
  uint32_t pitch;  // width * bytes per pixel rounded up to a multiple of 16
  uint8_t reserved[12];
};
static_assert(sizeof(ImageHeader) == 32);

// An image is addressed by its header. A legacy 4-byte header (bits 0-2 bytes per pixel, 0 = the
// screen's; bits 3-15 width; bits 16-31 height; pixels from byte 4) is accepted wherever an image
// is; it is told apart by its first word, which is never IMAGE_TYPE.
using Image = void*;

// Geometry of an image as a drawing target or blit source.
struct ImageView {
  uint8_t* pixels;
  int bytes_per_pixel;
  int width;
  int height;
  int pitch;
};
// screen_bytes_per_pixel stands in for a legacy header's 0.
ImageView image_view(Image image, int screen_bytes_per_pixel);

constexpr int IMAGE_DEFAULT_FILL = static_cast<int>(0x80000000u);

// Allocates and fills an image; null on error (last error 1 or 4).
Image create_image(int width, int height, Color colour, int depth, int flags);
// Frees an image made by create_image.
void destroy_image(Image image);

// Blitter: (source, destination, width, height, source pitch, destination pitch, alpha, blender,
// parameter), everything already clipped.
using Blitter = void (*)(const uint8_t* src, uint8_t* dst, int width, int height, int src_pitch,
                         int dst_pitch, int alpha, void* blender, void* parameter);

constexpr int PUT_MODE_ALPHA = 6;
constexpr int IMAGE_WHOLE = static_cast<int>(0xFFFF0000u);

// Blends each source pixel by its own alpha onto a target of the context's pixel width.
void alpha_blit(const uint8_t* src, uint8_t* dst, int width, int height, int src_pitch,
                int dst_pitch, int alpha, void* blender, void* parameter);

// Copies source rectangle (x1, y1)-(x2, y2) to (x, y) on target (null = the screen's work page).
int put_image(Image target, float x, float y, Image source, int x1, int y1, int x2, int y2,
              int coordinate_type, int mode, Blitter blitter, int alpha, void* blender,
              void* parameter);
