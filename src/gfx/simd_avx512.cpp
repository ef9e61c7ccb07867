// AVX-512 (F and BW) kernels: sixteen pixels per vector. For processors that report both at run
// time; only the functions below carry the target. The ragged ends of a span go in 8-, 4- and
// 1-pixel steps rather than with masked stores, which some of these processors execute slowly.
#include "gfx/simd_kernels.h"

#if GFX_HAVE_X86_KERNELS
// GCC 12's AVX-512 intrinsics start some results from a deliberately undefined vector, which its
// own flow analysis then reports; the warning says nothing about this code.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include "gfx/simd_blend.h"

namespace {

// Pixels up to the next 64-byte boundary (at most count), so that the main loop's accesses do not
// straddle cache lines. Every access tolerates any address; alignment only buys speed.
inline size_t pixels_to_line(const void* p, size_t count) {
  const size_t head = ((0 - reinterpret_cast<uintptr_t>(p)) & 63) >> 2;
  return head < count ? head : count;
}

// Fewer than 16 pixels blended with one colour.
GFX_AVX512 inline void blend_short(uint32_t* p, size_t n, const BlendTerms512& k, uint32_t pixel) {
  const BlendTerms256 half = lower_half(k);
  if (n >= 8) {
    auto* v = reinterpret_cast<__m256i*>(p);
    _mm256_storeu_si256(v, blend_lanes(_mm256_loadu_si256(v), half));
    p += 8;
    n -= 8;
  }
  if (n >= 4) {
    auto* v = reinterpret_cast<__m128i*>(p);
    _mm_storeu_si128(v, blend_lanes(_mm_loadu_si128(v), lower_half(half)));
    p += 4;
    n -= 4;
  }
  for (; n > 0; --n, ++p) blend_one(p, pixel, pixel >> 24);
}

GFX_AVX512 void span_blend_avx512(uint8_t* address, int count, uint32_t pixel) {
  const uint32_t a = pixel >> 24;
  if (count <= 0 || a == 0) return;  // weight 0 changes nothing
  auto* p = reinterpret_cast<uint32_t*>(address);
  size_t n = static_cast<size_t>(count);
  const BlendTerms512 k = colour_terms_512(pixel, a);
  const size_t head = pixels_to_line(p, n);
  blend_short(p, head, k, pixel);
  p += head;
  n -= head;
  for (; n >= 32; n -= 32, p += 32) {
    const __m512i d0 = _mm512_loadu_si512(p), d1 = _mm512_loadu_si512(p + 16);
    _mm512_storeu_si512(p, blend_lanes(d0, k));
    _mm512_storeu_si512(p + 16, blend_lanes(d1, k));
  }
  for (; n >= 16; n -= 16, p += 16) _mm512_storeu_si512(p, blend_lanes(_mm512_loadu_si512(p), k));
  blend_short(p, n, k, pixel);
}

// ---- plain fill: the ends may be stored twice, so they overlap the middle ----

GFX_AVX512 void span_fill_avx512(uint8_t* address, int count, uint32_t pixel) {
  if (count <= 0) return;
  size_t n = static_cast<size_t>(count);
  if (n >= kStringFillPixels && has_fast_string_store()) return string_fill(address, n, pixel);
  auto* p = reinterpret_cast<uint32_t*>(address);
  const __m512i v = _mm512_set1_epi32(static_cast<int>(pixel));
  if (n < 16) {
    if (n >= 8) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm512_castsi512_si256(v));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + n - 8), _mm512_castsi512_si256(v));
    } else if (n >= 4) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm512_castsi512_si128(v));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + n - 4), _mm512_castsi512_si128(v));
    } else {
      for (; n > 0; --n, ++p) store_pixel(p, pixel);
    }
    return;
  }
  uint32_t* const end = p + n;
  _mm512_storeu_si512(p, v);
  const size_t head = pixels_to_line(p, n);
  p += head;
  n -= head;
  for (; n >= 64; n -= 64, p += 64) {
    _mm512_storeu_si512(p, v);
    _mm512_storeu_si512(p + 16, v);
    _mm512_storeu_si512(p + 32, v);
    _mm512_storeu_si512(p + 48, v);
  }
  for (; n >= 16; n -= 16, p += 16) _mm512_storeu_si512(p, v);
  _mm512_storeu_si512(end - 16, v);
}

// ---- blend by each source pixel's own alpha ----

GFX_AVX512 void alpha_blit_row_avx512(const uint32_t* src, uint32_t* dst, int count) {
  if (count <= 0) return;
  size_t n = static_cast<size_t>(count);
  const __m512i alpha = _mm512_set1_epi32(static_cast<int>(COLOR_ALPHA));
  for (; n >= 16; n -= 16, src += 16, dst += 16) {
    const __m512i s = _mm512_loadu_si512(src);
    // Sixteen transparent source pixels leave the destination as it is: skip the store.
    if (_mm512_test_epi32_mask(s, alpha) == 0) continue;
    _mm512_storeu_si512(dst, blit_lanes(s, _mm512_loadu_si512(dst)));
  }
  if (n >= 8) {
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
    auto* d = reinterpret_cast<__m256i*>(dst);
    _mm256_storeu_si256(d, blit_lanes(s, _mm256_loadu_si256(d)));
    src += 8;
    dst += 8;
    n -= 8;
  }
  blit_tail(src, dst, static_cast<int>(n));
}

}  // namespace

const PixelKernels Avx512Kernels{KernelLevel::Avx512,   kernel_level_name(KernelLevel::Avx512),
                                 span_fill_avx512,      span_blend_avx512,
                                 alpha_blit_row_avx512, copy_rows_joined};

#endif
