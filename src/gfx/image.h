#pragma once
// Off-screen images: creating them and copying them onto a target.
#include <cstdint>

#include "gfx/color.h"
#include "gfx/image_view.h"

// flags value that fills a new image with the default colour (opaque magenta at 32 bits).
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
// x1 of put_image's source rectangle that stands for the whole image.
constexpr int IMAGE_WHOLE = static_cast<int>(0xFFFF0000u);

// Blends each source pixel by its own alpha onto a target of the context's pixel width.
void alpha_blit(const uint8_t* src, uint8_t* dst, int width, int height, int src_pitch,
                int dst_pitch, int alpha, void* blender, void* parameter);

// Copies source rectangle (x1, y1)-(x2, y2) to (x, y) on target (null = the screen's work page).
int put_image(Image target, float x, float y, Image source, int x1, int y1, int x2, int y2,
              int coordinate_type, int mode, Blitter blitter, int alpha, void* blender,
              void* parameter);
