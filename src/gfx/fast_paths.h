#pragma once
// Which level of pixel kernels the drawing code runs: the widest the processor offers (AVX-512 F
// and BW, AVX2, SSE2 on every x86-64, the scalar references elsewhere), or the one named by
// INTRO_KERNELS=scalar|sse2|avx2|avx512 in the environment.
#include <optional>
#include <string_view>

#include "gfx/pixel_kernels.h"

// The set in use, chosen at the first call.
const PixelKernels& pixel_kernels();
// The set of one level, or null when this processor (or this build) cannot run it.
const PixelKernels* pixel_kernels_for(KernelLevel level);
// Makes pixel_kernels() return another level's set from now on (false, and no change, when that
// level is not available). Write rules chosen before keep their routines until chosen again.
bool use_pixel_kernels(KernelLevel level);

// The level a name stands for ("scalar", "sse2", "avx2", "avx512"), or none.
std::optional<KernelLevel> kernel_level_named(std::string_view name);
// The level to run when the user asks for one by name: that level when the processor has it;
// otherwise one line on standard error and the widest available. Null or an unknown name also
// gets the line; the result is always available.
KernelLevel choose_kernel_level(const char* requested);

// The calls the drawing code makes, through the chosen set.
inline void alpha_blit_row_fast(const uint32_t* src, uint32_t* dst, int count) {
  pixel_kernels().alpha_blit_row(src, dst, count);
}
inline void copy_rows_fast(uint8_t* dst, const uint8_t* src, size_t row_bytes, int rows,
                           ptrdiff_t pitch) {
  pixel_kernels().copy_rows(dst, src, row_bytes, rows, pitch);
}
