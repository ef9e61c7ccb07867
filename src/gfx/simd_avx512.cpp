// AVX-512 (F and BW) kernels: sixteen pixels per vector. For processors that report both at run
// time; only the functions below carry the target. The ragged ends of a span go in 8-, 4- and
// 1-pixel steps rather than with masked stores, which some of these processors execute slowly.
#include "gfx/simd_kernels.h"

#if GFX_HAVE_X86_KERNELS
#include <immintrin.h>

#include <cstring>

#include "gfx/color.h"

// GCC 12's AVX-512 intrinsics start some results from a deliberately undefined vector, which its
// own flow analysis then reports; the warning says nothing about this code.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#define GFX_AVX512 __attribute__((target("avx512f,avx512bw")))

namespace {

inline uint32_t load_pixel(const uint32_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void store_pixel(uint32_t* p, uint32_t v) {
  std::memcpy(p, &v, 4);
}

// Pixels up to the next 64-byte boundary (at most count), so that the main loop's accesses do not
// straddle cache lines. Every access tolerates any address; alignment only buys speed.
inline size_t pixels_to_line(const void* p, size_t count) {
  const size_t head = ((0 - reinterpret_cast<uintptr_t>(p)) & 63) >> 2;
  return head < count ? head : count;
}

// ---- blend with one colour: floor((s * a + d * (256 - a)) / 256) per channel in 16-bit lanes,
// red/blue in the low bytes, alpha/green in the high bytes (as the SSE2 blend4) ----

struct ColourTerms {
  __m512i weight_d;  // 256 - a in every 16-bit lane
  __m512i sa_rb;     // s * a of blue and red
  __m512i sa_ag;     // s * a of green and alpha
};

GFX_AVX512 inline ColourTerms colour_terms(uint32_t pixel, uint32_t a) {
  return {
      _mm512_set1_epi16(static_cast<short>(256 - a)),
      _mm512_set1_epi32(static_cast<int>((pixel & 0xFF) * a | ((pixel >> 16) & 0xFF) * a << 16)),
      _mm512_set1_epi32(static_cast<int>(((pixel >> 8) & 0xFF) * a | (pixel >> 24) * a << 16))};
}

GFX_AVX512 inline __m512i blend16(__m512i d, const ColourTerms& k) {
  const __m512i low_bytes = _mm512_set1_epi16(0x00FF);
  const __m512i rb = _mm512_srli_epi16(
      _mm512_add_epi16(_mm512_mullo_epi16(_mm512_and_si512(d, low_bytes), k.weight_d), k.sa_rb), 8);
  const __m512i ag =
      _mm512_add_epi16(_mm512_mullo_epi16(_mm512_srli_epi16(d, 8), k.weight_d), k.sa_ag);
  return _mm512_or_si512(rb, _mm512_andnot_si512(low_bytes, ag));
}

GFX_AVX512 inline __m256i blend8(__m256i d, const ColourTerms& k) {
  const __m256i low_bytes = _mm256_set1_epi16(0x00FF);
  const __m256i w = _mm512_castsi512_si256(k.weight_d);
  const __m256i rb =
      _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(d, low_bytes), w),
                                         _mm512_castsi512_si256(k.sa_rb)),
                        8);
  const __m256i ag = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(d, 8), w),
                                      _mm512_castsi512_si256(k.sa_ag));
  return _mm256_or_si256(rb, _mm256_andnot_si256(low_bytes, ag));
}

GFX_AVX512 inline __m128i blend4(__m128i d, const ColourTerms& k) {
  const __m128i low_bytes = _mm_set1_epi16(0x00FF);
  const __m128i w = _mm512_castsi512_si128(k.weight_d);
  const __m128i rb = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(d, low_bytes), w),
                                                  _mm512_castsi512_si128(k.sa_rb)),
                                    8);
  const __m128i ag =
      _mm_add_epi16(_mm_mullo_epi16(_mm_srli_epi16(d, 8), w), _mm512_castsi512_si128(k.sa_ag));
  return _mm_or_si128(rb, _mm_andnot_si128(low_bytes, ag));
}

// Fewer than 16 pixels.
GFX_AVX512 inline void blend_short(uint32_t* p, size_t n, const ColourTerms& k, uint32_t pixel) {
  if (n >= 8) {
    auto* v = reinterpret_cast<__m256i*>(p);
    _mm256_storeu_si256(v, blend8(_mm256_loadu_si256(v), k));
    p += 8;
    n -= 8;
  }
  if (n >= 4) {
    auto* v = reinterpret_cast<__m128i*>(p);
    _mm_storeu_si128(v, blend4(_mm_loadu_si128(v), k));
    p += 4;
    n -= 4;
  }
  for (; n > 0; --n, ++p) store_pixel(p, blend_pixel(pixel, load_pixel(p), pixel >> 24));
}

GFX_AVX512 void span_blend_avx512(uint8_t* address, int count, uint32_t pixel) {
  const uint32_t a = pixel >> 24;
  if (count <= 0 || a == 0) return;  // weight 0 changes nothing
  auto* p = reinterpret_cast<uint32_t*>(address);
  size_t n = static_cast<size_t>(count);
  const ColourTerms k = colour_terms(pixel, a);
  const size_t head = pixels_to_line(p, n);
  blend_short(p, head, k, pixel);
  p += head;
  n -= head;
  for (; n >= 32; n -= 32, p += 32) {
    const __m512i d0 = _mm512_loadu_si512(p), d1 = _mm512_loadu_si512(p + 16);
    _mm512_storeu_si512(p, blend16(d0, k));
    _mm512_storeu_si512(p + 16, blend16(d1, k));
  }
  for (; n >= 16; n -= 16, p += 16) _mm512_storeu_si512(p, blend16(_mm512_loadu_si512(p), k));
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

GFX_AVX512 inline __m512i blit16(__m512i s, __m512i d) {
  const __m512i low_bytes = _mm512_set1_epi16(0x00FF);
  const __m512i a32 = _mm512_srli_epi32(s, 24);
  const __m512i a = _mm512_or_si512(a32, _mm512_slli_epi32(a32, 16));
  const __m512i weight_d = _mm512_sub_epi16(_mm512_set1_epi16(256), a);
  const __m512i rb = _mm512_srli_epi16(
      _mm512_add_epi16(_mm512_mullo_epi16(_mm512_and_si512(s, low_bytes), a),
                       _mm512_mullo_epi16(_mm512_and_si512(d, low_bytes), weight_d)),
      8);
  const __m512i ag = _mm512_add_epi16(_mm512_mullo_epi16(_mm512_srli_epi16(s, 8), a),
                                      _mm512_mullo_epi16(_mm512_srli_epi16(d, 8), weight_d));
  return _mm512_or_si512(rb, _mm512_andnot_si512(low_bytes, ag));
}

GFX_AVX512 inline __m256i blit8(__m256i s, __m256i d) {
  const __m256i low_bytes = _mm256_set1_epi16(0x00FF);
  const __m256i a32 = _mm256_srli_epi32(s, 24);
  const __m256i a = _mm256_or_si256(a32, _mm256_slli_epi32(a32, 16));
  const __m256i weight_d = _mm256_sub_epi16(_mm256_set1_epi16(256), a);
  const __m256i rb = _mm256_srli_epi16(
      _mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(s, low_bytes), a),
                       _mm256_mullo_epi16(_mm256_and_si256(d, low_bytes), weight_d)),
      8);
  const __m256i ag = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(s, 8), a),
                                      _mm256_mullo_epi16(_mm256_srli_epi16(d, 8), weight_d));
  return _mm256_or_si256(rb, _mm256_andnot_si256(low_bytes, ag));
}

GFX_AVX512 void alpha_blit_row_avx512(const uint32_t* src, uint32_t* dst, int count) {
  if (count <= 0) return;
  size_t n = static_cast<size_t>(count);
  const __m512i alpha = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
  for (; n >= 16; n -= 16, src += 16, dst += 16) {
    const __m512i s = _mm512_loadu_si512(src);
    // Sixteen transparent source pixels leave the destination as it is: skip the store.
    if (_mm512_test_epi32_mask(s, alpha) == 0) continue;
    _mm512_storeu_si512(dst, blit16(s, _mm512_loadu_si512(dst)));
  }
  if (n >= 8) {
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
    auto* d = reinterpret_cast<__m256i*>(dst);
    _mm256_storeu_si256(d, blit8(s, _mm256_loadu_si256(d)));
    src += 8;
    dst += 8;
    n -= 8;
  }
  for (; n > 0; --n, ++src, ++dst) {
    const uint32_t a = *src >> 24;
    if (a != 0) *dst = blend_pixel(*src, *dst, a);
  }
}

}  // namespace

const PixelKernels Avx512Kernels{KernelLevel::Avx512,   "avx512",
                                 span_fill_avx512,      span_blend_avx512,
                                 alpha_blit_row_avx512, copy_rows_joined};

#endif
