#include "gfx/fast_paths.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "gfx/simd_kernels.h"

namespace {

std::atomic<const PixelKernels*> g_chosen{nullptr};

KernelLevel widest_available() {
  for (KernelLevel level : {KernelLevel::Avx512, KernelLevel::Avx2, KernelLevel::Sse2})
    if (pixel_kernels_for(level)) return level;
  return KernelLevel::Scalar;
}

const PixelKernels* first_choice() {
  const char* requested = std::getenv("INTRO_KERNELS");
  const KernelLevel level =
      requested && *requested ? choose_kernel_level(requested) : widest_available();
  return pixel_kernels_for(level);
}

}  // namespace

const PixelKernels* pixel_kernels_for(KernelLevel level) {
  switch (level) {
    case KernelLevel::Scalar:
      return &ScalarKernels;
#if GFX_HAVE_SSE2_KERNELS
    case KernelLevel::Sse2:
      return &Sse2Kernels;  // part of every x86-64 processor, and of the page's WebAssembly
#endif
#if GFX_HAVE_X86_KERNELS
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
    k = first_choice();
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

std::optional<KernelLevel> kernel_level_named(std::string_view name) {
  for (KernelLevel level : kAllKernelLevels)
    if (name == kernel_level_name(level)) return level;
  return std::nullopt;
}

KernelLevel choose_kernel_level(const char* requested) {
  const KernelLevel widest = widest_available();
  const std::optional<KernelLevel> level = kernel_level_named(requested ? requested : "");
  if (level && pixel_kernels_for(*level)) return *level;
  std::fprintf(stderr, "pixel kernels \"%s\" %s; using %s\n", requested ? requested : "",
               level ? "are not supported by this processor" : "are unknown",
               pixel_kernels_for(widest)->name);
  return widest;
}
