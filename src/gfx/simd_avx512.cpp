// AVX-512 (F and BW) kernels: sixteen pixels per vector, with masked loads and stores for the
// ragged ends instead of pixel loops. For processors that report both at run time; only the
// functions below carry the target.
#include "gfx/simd_kernels.h"

#if GFX_HAVE_X86_KERNELS
#include <immintrin.h>

// GCC 12's AVX-512 intrinsics start some results from a deliberately undefined vector, which its
// own flow analysis then reports; the warning says nothing about this code.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#define GFX_AVX512 __attribute__((target("avx512f,avx512bw")))

namespace {

// Pixels up to the next 64-byte boundary (at most count), so that the main loop's accesses do not
// straddle cache lines. Every access tolerates any address; alignment only buys speed.
inline size_t pixels_to_line(const void* p, size_t count) {
  const size_t head = ((0 - reinterpret_cast<uintptr_t>(p)) & 63) >> 2;
  return head < count ? head : count;
}

GFX_AVX512 inline __mmask16 first_pixels(size_t n) {
  return static_cast<__mmask16>((1u << n) - 1);  // n < 16
}

// As the SSE2 blend4: floor((s * a + d * (256 - a)) / 256) per channel in 16-bit lanes.
GFX_AVX512 inline __m512i blend16(__m512i d, __m512i weight_d, __m512i sa_rb, __m512i sa_ag) {
  const __m512i low_bytes = _mm512_set1_epi16(0x00FF);
  const __m512i rb = _mm512_srli_epi16(
      _mm512_add_epi16(_mm512_mullo_epi16(_mm512_and_si512(d, low_bytes), weight_d), sa_rb), 8);
  const __m512i ag = _mm512_add_epi16(_mm512_mullo_epi16(_mm512_srli_epi16(d, 8), weight_d), sa_ag);
  return _mm512_or_si512(rb, _mm512_andnot_si512(low_bytes, ag));
}

GFX_AVX512 void span_fill_avx512(uint8_t* address, int count, uint32_t pixel) {
  if (count <= 0) return;
  auto* p = reinterpret_cast<uint32_t*>(address);
  size_t n = static_cast<size_t>(count);
  const __m512i v = _mm512_set1_epi32(static_cast<int>(pixel));
  const size_t head = pixels_to_line(p, n);
  if (head > 0) _mm512_mask_storeu_epi32(p, first_pixels(head), v);
  p += head;
  n -= head;
  for (; n >= 64; n -= 64, p += 64) {
    _mm512_storeu_si512(p, v);
    _mm512_storeu_si512(p + 16, v);
    _mm512_storeu_si512(p + 32, v);
    _mm512_storeu_si512(p + 48, v);
  }
  for (; n >= 16; n -= 16, p += 16) _mm512_storeu_si512(p, v);
  if (n > 0) _mm512_mask_storeu_epi32(p, first_pixels(n), v);
}

GFX_AVX512 void span_blend_avx512(uint8_t* address, int count, uint32_t pixel) {
  const uint32_t a = pixel >> 24;
  if (count <= 0 || a == 0) return;  // weight 0 changes nothing
  auto* p = reinterpret_cast<uint32_t*>(address);
  size_t n = static_cast<size_t>(count);
  const __m512i weight_d = _mm512_set1_epi16(static_cast<short>(256 - a));
  const __m512i sa_rb =
      _mm512_set1_epi32(static_cast<int>((pixel & 0xFF) * a | ((pixel >> 16) & 0xFF) * a << 16));
  const __m512i sa_ag =
      _mm512_set1_epi32(static_cast<int>(((pixel >> 8) & 0xFF) * a | (pixel >> 24) * a << 16));
  const size_t head = pixels_to_line(p, n);
  if (head > 0) {
    const __mmask16 m = first_pixels(head);
    _mm512_mask_storeu_epi32(p, m, blend16(_mm512_maskz_loadu_epi32(m, p), weight_d, sa_rb, sa_ag));
  }
  p += head;
  n -= head;
  for (; n >= 32; n -= 32, p += 32) {
    const __m512i d0 = _mm512_loadu_si512(p), d1 = _mm512_loadu_si512(p + 16);
    _mm512_storeu_si512(p, blend16(d0, weight_d, sa_rb, sa_ag));
    _mm512_storeu_si512(p + 16, blend16(d1, weight_d, sa_rb, sa_ag));
  }
  for (; n >= 16; n -= 16, p += 16)
    _mm512_storeu_si512(p, blend16(_mm512_loadu_si512(p), weight_d, sa_rb, sa_ag));
  if (n > 0) {
    const __mmask16 m = first_pixels(n);
    _mm512_mask_storeu_epi32(p, m, blend16(_mm512_maskz_loadu_epi32(m, p), weight_d, sa_rb, sa_ag));
  }
}

// Blends up to 16 pixels (those of mask m) by their own alpha.
GFX_AVX512 inline void blit16(const uint32_t* src, uint32_t* dst, __mmask16 m) {
  const __m512i low_bytes = _mm512_set1_epi16(0x00FF);
  const __m512i s = _mm512_maskz_loadu_epi32(m, src);
  // Only transparent source pixels leave the destination as it is: skip the store.
  const __mmask16 visible =
      _mm512_test_epi32_mask(s, _mm512_set1_epi32(static_cast<int>(0xFF000000u)));
  if (visible == 0) return;
  const __m512i d = _mm512_maskz_loadu_epi32(m, dst);
  const __m512i a32 = _mm512_srli_epi32(s, 24);
  const __m512i a = _mm512_or_si512(a32, _mm512_slli_epi32(a32, 16));
  const __m512i weight_d = _mm512_sub_epi16(_mm512_set1_epi16(256), a);
  const __m512i rb = _mm512_srli_epi16(
      _mm512_add_epi16(_mm512_mullo_epi16(_mm512_and_si512(s, low_bytes), a),
                       _mm512_mullo_epi16(_mm512_and_si512(d, low_bytes), weight_d)),
      8);
  const __m512i ag = _mm512_add_epi16(_mm512_mullo_epi16(_mm512_srli_epi16(s, 8), a),
                                      _mm512_mullo_epi16(_mm512_srli_epi16(d, 8), weight_d));
  _mm512_mask_storeu_epi32(dst, m, _mm512_or_si512(rb, _mm512_andnot_si512(low_bytes, ag)));
}

GFX_AVX512 void alpha_blit_row_avx512(const uint32_t* src, uint32_t* dst, int count) {
  if (count <= 0) return;
  size_t n = static_cast<size_t>(count);
  for (; n >= 16; n -= 16, src += 16, dst += 16) blit16(src, dst, 0xFFFF);
  if (n > 0) blit16(src, dst, first_pixels(n));
}

}  // namespace

const PixelKernels Avx512Kernels{KernelLevel::Avx512,   "avx512",
                                 span_fill_avx512,      span_blend_avx512,
                                 alpha_blit_row_avx512, copy_rows_joined};

#endif
