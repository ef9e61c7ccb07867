#pragma once
// The hot 32-bit pixel kernels: the plain span fill (the per-frame clear), the blended span (fade
// overlay, translucent bars and boxes), the per-pixel alpha row blit (the header strips) and the
// page copy. Each level of the processor's vector unit has its own set; the scalar references
// here are the rule each of them must match bit for bit, alpha byte included. Nothing here knows
// about screens or drawing contexts.
#include <cstddef>
#include <cstdint>

enum class KernelLevel { Scalar, Sse2, Avx2, Avx512 };
constexpr KernelLevel kAllKernelLevels[] = {KernelLevel::Scalar, KernelLevel::Sse2,
                                            KernelLevel::Avx2, KernelLevel::Avx512};
// By level, as INTRO_KERNELS and the command lines name them.
constexpr const char* kKernelLevelNames[] = {"scalar", "sse2", "avx2", "avx512"};
constexpr const char* kernel_level_name(KernelLevel level) {
  return kKernelLevelNames[static_cast<int>(level)];
}

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

// Scalar references, also the oracle of the tests for the faster levels.
void span_fill_reference(uint8_t* address, int count, uint32_t pixel);
void span_blend_reference(uint8_t* address, int count, uint32_t pixel);
void alpha_blit_row_reference(const uint32_t* src, uint32_t* dst, int count);
void copy_rows_reference(uint8_t* dst, const uint8_t* src, size_t row_bytes, int rows,
                         ptrdiff_t pitch);
// Copies rows, joined into one copy when they lie back to back (the full-width page copy).
void copy_rows_joined(uint8_t* dst, const uint8_t* src, size_t row_bytes, int rows,
                      ptrdiff_t pitch);

extern const PixelKernels ScalarKernels;
