// SSE2 kernels: four pixels per vector. Every x86-64 processor has SSE2; in the browser the same
// code runs on WebAssembly's 128-bit vectors.
#include "gfx/simd_kernels.h"

#if GFX_HAVE_SSE2_KERNELS
#include <emmintrin.h>
#if GFX_HAVE_X86_KERNELS
#include <cpuid.h>
#endif

#include "gfx/simd_blend.h"

namespace {

void span_fill_sse2(uint8_t* address, int count, uint32_t pixel) {
  if (count <= 0) return;
  uint8_t* p = address;
  size_t n = static_cast<size_t>(count);
  if (n >= kStringFillPixels && has_fast_string_store()) return string_fill(p, n, pixel);
  // Single pixels up to a 16-byte boundary so that the vector stores do not straddle cache
  // lines; the unaligned forms keep any address safe.
  for (; n > 0 && (reinterpret_cast<uintptr_t>(p) & 15) != 0; --n, p += 4) store_pixel(p, pixel);
  const __m128i v = _mm_set1_epi32(static_cast<int>(pixel));
  for (; n >= 16; n -= 16, p += 64) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16), v);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 32), v);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 48), v);
  }
  for (; n >= 4; n -= 4, p += 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
  for (; n > 0; --n, p += 4) store_pixel(p, pixel);
}

void span_blend_sse2(uint8_t* address, int count, uint32_t pixel) {
  const uint32_t a = pixel >> 24;
  if (count <= 0 || a == 0) return;  // weight 0 changes nothing
  uint8_t* p = address;
  size_t n = static_cast<size_t>(count);
  for (; n > 0 && (reinterpret_cast<uintptr_t>(p) & 15) != 0; --n, p += 4) blend_one(p, pixel, a);
  const BlendTerms128 k = colour_terms_128(pixel, a);
  for (; n >= 8; n -= 8, p += 32) {
    auto* v = reinterpret_cast<__m128i*>(p);
    const __m128i d0 = _mm_loadu_si128(v), d1 = _mm_loadu_si128(v + 1);
    _mm_storeu_si128(v, blend_lanes(d0, k));
    _mm_storeu_si128(v + 1, blend_lanes(d1, k));
  }
  for (; n >= 4; n -= 4, p += 16) {
    auto* v = reinterpret_cast<__m128i*>(p);
    _mm_storeu_si128(v, blend_lanes(_mm_loadu_si128(v), k));
  }
  for (; n > 0; --n, p += 4) blend_one(p, pixel, a);
}

void alpha_blit_row_sse2(const uint32_t* src, uint32_t* dst, int count) {
  const __m128i zero = _mm_setzero_si128();
  int x = 0;
  for (; x + 4 <= count; x += 4) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x));
    // Four transparent source pixels leave the destination as it is: skip the store.
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_srli_epi32(s, 24), zero)) == 0xFFFF) continue;
    auto* dp = reinterpret_cast<__m128i*>(dst + x);
    _mm_storeu_si128(dp, blit_lanes(s, _mm_loadu_si128(dp)));
  }
  blit_tail(src + x, dst + x, count - x);
}

}  // namespace

#if GFX_HAVE_X86_KERNELS
bool has_fast_string_store() {
  static const bool erms = [] {
    unsigned a = 0, b = 0, c = 0, d = 0;
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) != 0 && (b & (1u << 9)) != 0;
  }();
  return erms;
}

void string_fill(uint8_t* address, size_t count, uint32_t pixel) {
  asm volatile("rep stosl" : "+D"(address), "+c"(count) : "a"(pixel) : "memory");
}
#else
bool has_fast_string_store() {
  return false;  // no string store: the vector loop fills every span
}

void string_fill(uint8_t*, size_t, uint32_t) {}
#endif

const PixelKernels Sse2Kernels{KernelLevel::Sse2,   kernel_level_name(KernelLevel::Sse2),
                               span_fill_sse2,      span_blend_sse2,
                               alpha_blit_row_sse2, copy_rows_joined};

#endif
