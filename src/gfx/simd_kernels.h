#pragma once
// The per-level kernel sets behind pixel_kernels(); each exists only where the build can emit it.
#include "gfx/pixel_kernels.h"

#if defined(__x86_64__)
#define GFX_HAVE_X86_KERNELS 1
extern const PixelKernels Avx2Kernels;
extern const PixelKernels Avx512Kernels;
#endif

// The SSE2 kernels also serve WebAssembly built with 128-bit vectors (-msimd128 -msse2), whose
// instructions emscripten maps SSE2's intrinsics onto.
#if defined(__x86_64__) || defined(__wasm_simd128__)
#define GFX_HAVE_SSE2_KERNELS 1
extern const PixelKernels Sse2Kernels;

// Fills of at least this many pixels go to the processor's string store when it has enhanced
// "rep stos": past a few kilobytes it writes whole lines without reading them first, which no
// vector loop can do (a full-width box on a page is one such span).
constexpr size_t kStringFillPixels = 4096;
bool has_fast_string_store();
void string_fill(uint8_t* address, size_t count, uint32_t pixel);
#endif
