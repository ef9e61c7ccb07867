// SSE2 kernels: four pixels per vector. Every x86-64 processor has SSE2.
#include "gfx/simd_kernels.h"

#if GFX_HAVE_X86_KERNELS
#include <cpuid.h>
#include <emmintrin.h>

#include <cstring>

#include "gfx/color.h"

namespace {

inline uint32_t load_pixel(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void store_pixel(uint8_t* p, uint32_t v) {
  std::memcpy(p, &v, 4);
}

// The blend as floor((s * a + d * (256 - a)) / 256) per channel, which equals
// d + floor((s - d) * a / 256) and never exceeds 255 * 256, so it fits an unsigned 16-bit lane.
// Red/blue sit in the low bytes of the 16-bit lanes, alpha/green in the high bytes.
inline __m128i blend4(__m128i d, __m128i weight_d, __m128i sa_rb, __m128i sa_ag) {
  const __m128i low_bytes = _mm_set1_epi16(0x00FF);
  const __m128i rb = _mm_srli_epi16(
      _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(d, low_bytes), weight_d), sa_rb), 8);
  const __m128i ag = _mm_add_epi16(_mm_mullo_epi16(_mm_srli_epi16(d, 8), weight_d), sa_ag);
  return _mm_or_si128(rb, _mm_andnot_si128(low_bytes, ag));
}

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
  for (; n > 0 && (reinterpret_cast<uintptr_t>(p) & 15) != 0; --n, p += 4)
    store_pixel(p, blend_pixel(pixel, load_pixel(p), a));
  const __m128i weight_d = _mm_set1_epi16(static_cast<short>(256 - a));
  const __m128i sa_rb =
      _mm_set1_epi32(static_cast<int>((pixel & 0xFF) * a | ((pixel >> 16) & 0xFF) * a << 16));
  const __m128i sa_ag =
      _mm_set1_epi32(static_cast<int>(((pixel >> 8) & 0xFF) * a | (pixel >> 24) * a << 16));
  for (; n >= 8; n -= 8, p += 32) {
    auto* v = reinterpret_cast<__m128i*>(p);
    const __m128i d0 = _mm_loadu_si128(v), d1 = _mm_loadu_si128(v + 1);
    _mm_storeu_si128(v, blend4(d0, weight_d, sa_rb, sa_ag));
    _mm_storeu_si128(v + 1, blend4(d1, weight_d, sa_rb, sa_ag));
  }
  for (; n >= 4; n -= 4, p += 16) {
    auto* v = reinterpret_cast<__m128i*>(p);
    _mm_storeu_si128(v, blend4(_mm_loadu_si128(v), weight_d, sa_rb, sa_ag));
  }
  for (; n > 0; --n, p += 4) store_pixel(p, blend_pixel(pixel, load_pixel(p), a));
}

void alpha_blit_row_sse2(const uint32_t* src, uint32_t* dst, int count) {
  const __m128i low_bytes = _mm_set1_epi16(0x00FF);
  const __m128i full = _mm_set1_epi16(256);
  const __m128i zero = _mm_setzero_si128();
  int x = 0;
  for (; x + 4 <= count; x += 4) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x));
    const __m128i a32 = _mm_srli_epi32(s, 24);
    // Four transparent source pixels leave the destination as it is: skip the store.
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(a32, zero)) == 0xFFFF) continue;
    auto* dp = reinterpret_cast<__m128i*>(dst + x);
    const __m128i d = _mm_loadu_si128(dp);
    const __m128i a = _mm_or_si128(a32, _mm_slli_epi32(a32, 16));
    const __m128i weight_d = _mm_sub_epi16(full, a);
    const __m128i rb =
        _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(s, low_bytes), a),
                                     _mm_mullo_epi16(_mm_and_si128(d, low_bytes), weight_d)),
                       8);
    const __m128i ag = _mm_add_epi16(_mm_mullo_epi16(_mm_srli_epi16(s, 8), a),
                                     _mm_mullo_epi16(_mm_srli_epi16(d, 8), weight_d));
    _mm_storeu_si128(dp, _mm_or_si128(rb, _mm_andnot_si128(low_bytes, ag)));
  }
  for (; x < count; ++x) {
    const uint32_t a = src[x] >> 24;
    if (a != 0) dst[x] = blend_pixel(src[x], dst[x], a);
  }
}

}  // namespace

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

const PixelKernels Sse2Kernels{KernelLevel::Sse2,   "sse2",
                               span_fill_sse2,      span_blend_sse2,
                               alpha_blit_row_sse2, copy_rows_joined};

#endif
