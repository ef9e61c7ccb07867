#include "gfx/pixel_kernels.h"

#include <cstring>

#include "gfx/color.h"

void span_fill_reference(uint8_t* address, int count, uint32_t pixel) {
  auto* p = reinterpret_cast<uint32_t*>(address);
  for (int i = 0; i < count; ++i) p[i] = pixel;
}

void span_blend_reference(uint8_t* address, int count, uint32_t pixel) {
  auto* p = reinterpret_cast<uint32_t*>(address);
  const uint32_t a = pixel >> 24;
  for (int i = 0; i < count; ++i) p[i] = blend_pixel(pixel, p[i], a);
}

void alpha_blit_row_reference(const uint32_t* src, uint32_t* dst, int count) {
  for (int x = 0; x < count; ++x) {
    const uint32_t a = src[x] >> 24;
    if (a == 0) continue;  // weight 0 leaves the pixel as it is
    dst[x] = blend_pixel(src[x], dst[x], a);
  }
}

void copy_rows_reference(uint8_t* dst, const uint8_t* src, size_t row_bytes, int rows,
                         ptrdiff_t pitch) {
  for (int y = 0; y < rows; ++y) std::memcpy(dst + y * pitch, src + y * pitch, row_bytes);
}

void copy_rows_joined(uint8_t* dst, const uint8_t* src, size_t row_bytes, int rows,
                      ptrdiff_t pitch) {
  if (rows <= 0) return;
  if (pitch >= 0 && static_cast<size_t>(pitch) == row_bytes) {
    std::memcpy(dst, src, row_bytes * static_cast<size_t>(rows));
    return;
  }
  copy_rows_reference(dst, src, row_bytes, rows, pitch);
}

const PixelKernels ScalarKernels{KernelLevel::Scalar,      kernel_level_name(KernelLevel::Scalar),
                                 span_fill_reference,      span_blend_reference,
                                 alpha_blit_row_reference, copy_rows_reference};
