// AVX2 kernels: eight pixels per vector, for processors that report AVX2 at run time. Only the
// functions below carry the AVX2 target, so nothing shared with other files is compiled for it.
#include "gfx/simd_kernels.h"

#if GFX_HAVE_X86_KERNELS
#include "gfx/simd_blend.h"

namespace {

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
GFX_AVX2 inline void blend4_at(uint8_t* p, const BlendTerms256& k) {
  auto* v = reinterpret_cast<__m128i*>(p);
  _mm_storeu_si128(v, blend_lanes(_mm_loadu_si128(v), lower_half(k)));
}

GFX_AVX2 void span_blend_avx2(uint8_t* address, int count, uint32_t pixel) {
  const uint32_t a = pixel >> 24;
  if (count <= 0 || a == 0) return;  // weight 0 changes nothing
  uint8_t* p = address;
  size_t n = static_cast<size_t>(count);
  const BlendTerms256 k = colour_terms_256(pixel, a);
  // Up to the next 32-byte boundary: four pixels at once where they fit, then single ones.
  size_t head = ((0 - reinterpret_cast<uintptr_t>(p)) & 31) >> 2;
  if (head > n) head = n;
  n -= head;
  if (head >= 4) {
    blend4_at(p, k);
    p += 16;
    head -= 4;
  }
  for (; head > 0; --head, p += 4) blend_one(p, pixel, a);
  for (; n >= 16; n -= 16, p += 64) {
    auto* v = reinterpret_cast<__m256i*>(p);
    const __m256i d0 = _mm256_loadu_si256(v), d1 = _mm256_loadu_si256(v + 1);
    _mm256_storeu_si256(v, blend_lanes(d0, k));
    _mm256_storeu_si256(v + 1, blend_lanes(d1, k));
  }
  for (; n >= 8; n -= 8, p += 32) {
    auto* v = reinterpret_cast<__m256i*>(p);
    _mm256_storeu_si256(v, blend_lanes(_mm256_loadu_si256(v), k));
  }
  if (n >= 4) {
    blend4_at(p, k);
    p += 16;
    n -= 4;
  }
  for (; n > 0; --n, p += 4) blend_one(p, pixel, a);
}

GFX_AVX2 void alpha_blit_row_avx2(const uint32_t* src, uint32_t* dst, int count) {
  const __m256i zero = _mm256_setzero_si256();
  int x = 0;
  for (; x + 8 <= count; x += 8) {
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + x));
    // Eight transparent source pixels leave the destination as it is: skip the store.
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(_mm256_srli_epi32(s, 24), zero)) == -1) continue;
    auto* dp = reinterpret_cast<__m256i*>(dst + x);
    _mm256_storeu_si256(dp, blit_lanes(s, _mm256_loadu_si256(dp)));
  }
  blit_tail(src + x, dst + x, count - x);
}

}  // namespace

const PixelKernels Avx2Kernels{KernelLevel::Avx2,   kernel_level_name(KernelLevel::Avx2),
                               span_fill_avx2,      span_blend_avx2,
                               alpha_blit_row_avx2, copy_rows_joined};

#endif
