#pragma once
// How an image lies in memory: a 32-byte header followed by 16-byte aligned rows.
#include <cstdint>

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
