#include "gfx/fast_paths.h"

#include <atomic>
#include <cstring>

#include "gfx/color.h"
#include "gfx/simd_kernels.h"
#include "gfx/write_rules.h"

namespace {

const PixelKernels kScalarKernels{KernelLevel::Scalar,      "scalar",
                                  span_fill_reference,      span_blend_reference,
                                  alpha_blit_row_reference, copy_rows_reference};

std::atomic<const PixelKernels*> g_chosen{nullptr};

const PixelKernels* widest_available() {
  if (const PixelKernels* k = pixel_kernels_for(KernelLevel::Avx512)) return k;
  if (const PixelKernels* k = pixel_kernels_for(KernelLevel::Avx2)) return k;
  if (const PixelKernels* k = pixel_kernels_for(KernelLevel::Sse2)) return k;
  return &kScalarKernels;
}

}  // namespace

const PixelKernels* pixel_kernels_for(KernelLevel level) {
  switch (level) {
    case KernelLevel::Scalar:
      return &kScalarKernels;
#if GFX_HAVE_X86_KERNELS
    case KernelLevel::Sse2:
      return &Sse2Kernels;  // part of every x86-64 processor
    case KernelLevel::Avx2:
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx2") ? &Avx2Kernels : nullptr;
    case KernelLevel::Avx512:
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")
                 ? &Avx512Kernels
                 : nullptr;
#endif
    default:
      return nullptr;
  }
}

const PixelKernels& pixel_kernels() {
  const PixelKernels* k = g_chosen.load(std::memory_order_acquire);
  if (k == nullptr) {
    k = widest_available();
    g_chosen.store(k, std::memory_order_release);
  }
  return *k;
}

bool use_pixel_kernels(KernelLevel level) {
  const PixelKernels* k = pixel_kernels_for(level);
  if (k == nullptr) return false;
  g_chosen.store(k, std::memory_order_release);
  return true;
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
