#pragma once
// Vectorised versions of the hot 32-bit pixel kernels: the plain span fill (the per-frame clear),
// the blended span (fade overlay, translucent bars and boxes), the per-pixel alpha row blit (the
// header strips) and the page copy. Each gives exactly the result of its scalar reference, alpha
// byte included. One set is chosen once, at first use, from what the processor offers: AVX-512
// (F and BW), AVX2, SSE2 (every x86-64), or the scalar references on other processors.
#include <cstddef>
#include <cstdint>

enum class KernelLevel { Scalar, Sse2, Avx2, Avx512 };

struct PixelKernels {
  KernelLevel level;
  const char* name;
  // count 32-bit pixels at address (4-byte aligned) set to pixel, or blended with pixel at its
  // own alpha; a count of 0 or less does nothing.
  void (*span_fill)(uint8_t* address, int count, uint32_t pixel);
  void (*span_blend)(uint8_t* address, int count, uint32_t pixel);
  // Each of count pixels of dst blended with the source pixel at the source pixel's alpha.
  void (*alpha_blit_row)(const uint32_t* src, uint32_t* dst, int count);
  // rows rows of row_bytes bytes, both buffers advancing by pitch; the buffers do not overlap.
  void (*copy_rows)(uint8_t* dst, const uint8_t* src, size_t row_bytes, int rows, ptrdiff_t pitch);
};

// The set in use: the widest this processor runs, chosen at the first call.
const PixelKernels& pixel_kernels();
// The set of one level, or null when this processor (or this build) cannot run it. For tests and
// benchmarks, which compare every level against the references.
const PixelKernels* pixel_kernels_for(KernelLevel level);
// Makes pixel_kernels() return another level's set from now on (false, and no change, when that
// level is not available). Write rules chosen before keep their routines until chosen again.
bool use_pixel_kernels(KernelLevel level);

// The calls the drawing code makes, through the chosen set.
inline void alpha_blit_row_fast(const uint32_t* src, uint32_t* dst, int count) {
  pixel_kernels().alpha_blit_row(src, dst, count);
}
inline void copy_rows_fast(uint8_t* dst, const uint8_t* src, size_t row_bytes, int rows,
                           ptrdiff_t pitch) {
  pixel_kernels().copy_rows(dst, src, row_bytes, rows, pitch);
}

// Scalar references (the span references live with the write rules).
void alpha_blit_row_reference(const uint32_t* src, uint32_t* dst, int count);
void copy_rows_reference(uint8_t* dst, const uint8_t* src, size_t row_bytes, int rows,
                         ptrdiff_t pitch);
