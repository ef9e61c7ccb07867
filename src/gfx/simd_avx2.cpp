// AVX2 kernels: eight pixels per vector, for processors that report AVX2 at run time. Only the
// functions below carry the AVX2 target, so nothing shared with other files is compiled for it.
#include "gfx/simd_kernels.h"

#if GFX_HAVE_X86_KERNELS
#include <immintrin.h>

#include <cstring>

#include "gfx/color.h"

#define GFX_AVX2 __attribute__((target("avx2")))

namespace {

inline uint32_t load_pixel(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void store_pixel(uint8_t* p, uint32_t v) {
  std::memcpy(p, &v, 4);
}

// As the SSE2 blend4: floor((s * a + d * (256 - a)) / 256) per channel in 16-bit lanes.
GFX_AVX2 inline __m256i blend8(__m256i d, __m256i weight_d, __m256i sa_rb, __m256i sa_ag) {
  const __m256i low_bytes = _mm256_set1_epi16(0x00FF);
  const __m256i rb = _mm256_srli_epi16(
      _mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(d, low_bytes), weight_d), sa_rb), 8);
  const __m256i ag = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(d, 8), weight_d), sa_ag);
  return _mm256_or_si256(rb, _mm256_andnot_si256(low_bytes, ag));
}

GFX_AVX2 void span_fill_avx2(uint8_t* address, int count, uint32_t pixel) {
  if (count <= 0) return;
  uint8_t* p = address;
  size_t n = static_cast<size_t>(count);
  if (n >= kStringFillPixels && has_fast_string_store()) return string_fill(p, n, pixel);
  const __m256i v = _mm256_set1_epi32(static_cast<int>(pixel));
  if (n < 8) {
    if (n >= 4) {  // two stores that may overlap
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(v));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4 * n - 16), _mm256_castsi256_si128(v));
    } else {
      for (; n > 0; --n, p += 4) store_pixel(p, pixel);
    }
    return;
  }
  // The ends are stored unaligned and may overlap the aligned middle.
  uint8_t* const last = p + 4 * n - 32;
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
  const size_t head = ((0 - reinterpret_cast<uintptr_t>(p)) & 31) >> 2;
  p += 4 * head;
  n -= head;
  for (; n >= 32; n -= 32, p += 128) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 32), v);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 64), v);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 96), v);
  }
  for (; n >= 8; n -= 8, p += 32) _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(last), v);
}

// Four pixels with the low halves of the colour terms, for the ends of a span.
GFX_AVX2 inline void blend4_at(uint8_t* p, __m256i weight_d, __m256i sa_rb, __m256i sa_ag) {
  const __m128i low_bytes = _mm_set1_epi16(0x00FF);
  const __m128i w = _mm256_castsi256_si128(weight_d);
  auto* v = reinterpret_cast<__m128i*>(p);
  const __m128i d = _mm_loadu_si128(v);
  const __m128i rb = _mm_srli_epi16(
      _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(d, low_bytes), w), _mm256_castsi256_si128(sa_rb)),
      8);
  const __m128i ag =
      _mm_add_epi16(_mm_mullo_epi16(_mm_srli_epi16(d, 8), w), _mm256_castsi256_si128(sa_ag));
  _mm_storeu_si128(v, _mm_or_si128(rb, _mm_andnot_si128(low_bytes, ag)));
}

GFX_AVX2 void span_blend_avx2(uint8_t* address, int count, uint32_t pixel) {
  const uint32_t a = pixel >> 24;
  if (count <= 0 || a == 0) return;  // weight 0 changes nothing
  uint8_t* p = address;
  size_t n = static_cast<size_t>(count);
  const __m256i weight_d = _mm256_set1_epi16(static_cast<short>(256 - a));
  const __m256i sa_rb =
      _mm256_set1_epi32(static_cast<int>((pixel & 0xFF) * a | ((pixel >> 16) & 0xFF) * a << 16));
  const __m256i sa_ag =
      _mm256_set1_epi32(static_cast<int>(((pixel >> 8) & 0xFF) * a | (pixel >> 24) * a << 16));
  // Up to the next 32-byte boundary: four pixels at once where they fit, then single ones.
  size_t head = ((0 - reinterpret_cast<uintptr_t>(p)) & 31) >> 2;
  if (head > n) head = n;
  n -= head;
  if (head >= 4) {
    blend4_at(p, weight_d, sa_rb, sa_ag);
    p += 16;
    head -= 4;
  }
  for (; head > 0; --head, p += 4) store_pixel(p, blend_pixel(pixel, load_pixel(p), a));
  for (; n >= 16; n -= 16, p += 64) {
    auto* v = reinterpret_cast<__m256i*>(p);
    const __m256i d0 = _mm256_loadu_si256(v), d1 = _mm256_loadu_si256(v + 1);
    _mm256_storeu_si256(v, blend8(d0, weight_d, sa_rb, sa_ag));
    _mm256_storeu_si256(v + 1, blend8(d1, weight_d, sa_rb, sa_ag));
  }
  for (; n >= 8; n -= 8, p += 32) {
    auto* v = reinterpret_cast<__m256i*>(p);
    _mm256_storeu_si256(v, blend8(_mm256_loadu_si256(v), weight_d, sa_rb, sa_ag));
  }
  if (n >= 4) {
    blend4_at(p, weight_d, sa_rb, sa_ag);
    p += 16;
    n -= 4;
  }
  for (; n > 0; --n, p += 4) store_pixel(p, blend_pixel(pixel, load_pixel(p), a));
}

GFX_AVX2 void alpha_blit_row_avx2(const uint32_t* src, uint32_t* dst, int count) {
  const __m256i low_bytes = _mm256_set1_epi16(0x00FF);
  const __m256i full = _mm256_set1_epi16(256);
  const __m256i zero = _mm256_setzero_si256();
  int x = 0;
  for (; x + 8 <= count; x += 8) {
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + x));
    const __m256i a32 = _mm256_srli_epi32(s, 24);
    // Eight transparent source pixels leave the destination as it is: skip the store.
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(a32, zero)) == -1) continue;
    auto* dp = reinterpret_cast<__m256i*>(dst + x);
    const __m256i d = _mm256_loadu_si256(dp);
    const __m256i a = _mm256_or_si256(a32, _mm256_slli_epi32(a32, 16));
    const __m256i weight_d = _mm256_sub_epi16(full, a);
    const __m256i rb = _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(s, low_bytes), a),
                         _mm256_mullo_epi16(_mm256_and_si256(d, low_bytes), weight_d)),
        8);
    const __m256i ag = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(s, 8), a),
                                        _mm256_mullo_epi16(_mm256_srli_epi16(d, 8), weight_d));
    _mm256_storeu_si256(dp, _mm256_or_si256(rb, _mm256_andnot_si256(low_bytes, ag)));
  }
  for (; x < count; ++x) {
    const uint32_t a = src[x] >> 24;
    if (a != 0) dst[x] = blend_pixel(src[x], dst[x], a);
  }
}

}  // namespace

const PixelKernels Avx2Kernels{KernelLevel::Avx2,   "avx2",
                               span_fill_avx2,      span_blend_avx2,
                               alpha_blit_row_avx2, copy_rows_joined};

#endif
