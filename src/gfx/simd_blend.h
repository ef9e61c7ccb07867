#pragma once
// The blend arithmetic of the vector kernels, written once per vector width: 128 bits (SSE2),
// 256 (AVX2) and 512 (AVX-512 BW). Every kernel of a level blends through these; narrower widths
// serve the ragged ends of the wider levels.
//
// Per channel the rule is d + floor((s - d) * a / 256), computed as floor((s * a + d * (256 - a))
// / 256), which never exceeds 255 * 256 and so fits an unsigned 16-bit lane. Red and blue sit in
// the low bytes of the 16-bit lanes, green and alpha in the high bytes.
// GCC 12 sees the "undefined" upper half inside its own 512-to-256-bit cast as uninitialised when
// ThreadSanitizer instruments the caller; the cast reads no such value.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#if defined(__x86_64__)
#include <immintrin.h>
#else  // WebAssembly's 128-bit vectors, onto which emscripten maps SSE2
#include <emmintrin.h>
#endif
#pragma GCC diagnostic pop

#include <cstdint>
#include <cstring>

#include "gfx/color.h"

#define GFX_AVX2 __attribute__((target("avx2")))
#define GFX_AVX512 __attribute__((target("avx512f,avx512bw")))

// The source side of a blend, per vector width: 256 - a in every lane, and s * a for red/blue
// and for green/alpha.
struct BlendTerms128 {
  __m128i weight_d, sa_rb, sa_ag;
};
#if defined(__x86_64__)
struct BlendTerms256 {
  __m256i weight_d, sa_rb, sa_ag;
};
struct BlendTerms512 {
  __m512i weight_d, sa_rb, sa_ag;
};
#endif

// The same three words for every pixel blended with one colour at weight a.
constexpr uint32_t weight_word(uint32_t a) {
  return (256 - a) * 0x10001u;
}
constexpr uint32_t rb_term(uint32_t pixel, uint32_t a) {
  return (pixel & 0xFF) * a | ((pixel >> 16) & 0xFF) * a << 16;
}
constexpr uint32_t ag_term(uint32_t pixel, uint32_t a) {
  return ((pixel >> 8) & 0xFF) * a | (pixel >> 24) * a << 16;
}

inline uint32_t load_pixel(const void* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void store_pixel(void* p, uint32_t v) {
  std::memcpy(p, &v, 4);
}
// One pixel by the scalar rule, for the pixels before and after the vectors.
inline void blend_one(void* p, uint32_t pixel, uint32_t a) {
  store_pixel(p, blend_pixel(pixel, load_pixel(p), a));
}
// The last few pixels of an alpha blit row, each by its own alpha.
inline void blit_tail(const uint32_t* src, uint32_t* dst, int count) {
  for (int x = 0; x < count; ++x) {
    const uint32_t a = src[x] >> 24;
    if (a != 0) dst[x] = blend_pixel(src[x], dst[x], a);
  }
}

// ---- 128 bits: four pixels ----

inline __m128i blend_lanes(__m128i d, const BlendTerms128& k) {
  const __m128i low_bytes = _mm_set1_epi16(0x00FF);
  const __m128i rb = _mm_srli_epi16(
      _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(d, low_bytes), k.weight_d), k.sa_rb), 8);
  const __m128i ag = _mm_add_epi16(_mm_mullo_epi16(_mm_srli_epi16(d, 8), k.weight_d), k.sa_ag);
  return _mm_or_si128(rb, _mm_andnot_si128(low_bytes, ag));
}

inline BlendTerms128 colour_terms_128(uint32_t pixel, uint32_t a) {
  return {_mm_set1_epi32(static_cast<int>(weight_word(a))),
          _mm_set1_epi32(static_cast<int>(rb_term(pixel, a))),
          _mm_set1_epi32(static_cast<int>(ag_term(pixel, a)))};
}

// Each destination pixel blended with its source pixel at the source pixel's own alpha.
inline __m128i blit_lanes(__m128i s, __m128i d) {
  const __m128i a32 = _mm_srli_epi32(s, 24);
  const __m128i a = _mm_or_si128(a32, _mm_slli_epi32(a32, 16));
  return blend_lanes(d, {_mm_sub_epi16(_mm_set1_epi16(256), a),
                         _mm_mullo_epi16(_mm_and_si128(s, _mm_set1_epi16(0x00FF)), a),
                         _mm_mullo_epi16(_mm_srli_epi16(s, 8), a)});
}

#if defined(__x86_64__)
// ---- 256 bits: eight pixels ----

GFX_AVX2 inline __m256i blend_lanes(__m256i d, const BlendTerms256& k) {
  const __m256i low_bytes = _mm256_set1_epi16(0x00FF);
  const __m256i rb = _mm256_srli_epi16(
      _mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(d, low_bytes), k.weight_d), k.sa_rb), 8);
  const __m256i ag =
      _mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(d, 8), k.weight_d), k.sa_ag);
  return _mm256_or_si256(rb, _mm256_andnot_si256(low_bytes, ag));
}

GFX_AVX2 inline BlendTerms256 colour_terms_256(uint32_t pixel, uint32_t a) {
  return {_mm256_set1_epi32(static_cast<int>(weight_word(a))),
          _mm256_set1_epi32(static_cast<int>(rb_term(pixel, a))),
          _mm256_set1_epi32(static_cast<int>(ag_term(pixel, a)))};
}

GFX_AVX2 inline BlendTerms128 lower_half(const BlendTerms256& k) {
  return {_mm256_castsi256_si128(k.weight_d), _mm256_castsi256_si128(k.sa_rb),
          _mm256_castsi256_si128(k.sa_ag)};
}

GFX_AVX2 inline __m256i blit_lanes(__m256i s, __m256i d) {
  const __m256i a32 = _mm256_srli_epi32(s, 24);
  const __m256i a = _mm256_or_si256(a32, _mm256_slli_epi32(a32, 16));
  return blend_lanes(d, {_mm256_sub_epi16(_mm256_set1_epi16(256), a),
                         _mm256_mullo_epi16(_mm256_and_si256(s, _mm256_set1_epi16(0x00FF)), a),
                         _mm256_mullo_epi16(_mm256_srli_epi16(s, 8), a)});
}

// ---- 512 bits: sixteen pixels ----

GFX_AVX512 inline __m512i blend_lanes(__m512i d, const BlendTerms512& k) {
  const __m512i low_bytes = _mm512_set1_epi16(0x00FF);
  const __m512i rb = _mm512_srli_epi16(
      _mm512_add_epi16(_mm512_mullo_epi16(_mm512_and_si512(d, low_bytes), k.weight_d), k.sa_rb), 8);
  const __m512i ag =
      _mm512_add_epi16(_mm512_mullo_epi16(_mm512_srli_epi16(d, 8), k.weight_d), k.sa_ag);
  return _mm512_or_si512(rb, _mm512_andnot_si512(low_bytes, ag));
}

GFX_AVX512 inline BlendTerms512 colour_terms_512(uint32_t pixel, uint32_t a) {
  return {_mm512_set1_epi32(static_cast<int>(weight_word(a))),
          _mm512_set1_epi32(static_cast<int>(rb_term(pixel, a))),
          _mm512_set1_epi32(static_cast<int>(ag_term(pixel, a)))};
}

GFX_AVX512 inline BlendTerms256 lower_half(const BlendTerms512& k) {
  return {_mm512_castsi512_si256(k.weight_d), _mm512_castsi512_si256(k.sa_rb),
          _mm512_castsi512_si256(k.sa_ag)};
}

GFX_AVX512 inline __m512i blit_lanes(__m512i s, __m512i d) {
  const __m512i a32 = _mm512_srli_epi32(s, 24);
  const __m512i a = _mm512_or_si512(a32, _mm512_slli_epi32(a32, 16));
  return blend_lanes(d, {_mm512_sub_epi16(_mm512_set1_epi16(256), a),
                         _mm512_mullo_epi16(_mm512_and_si512(s, _mm512_set1_epi16(0x00FF)), a),
                         _mm512_mullo_epi16(_mm512_srli_epi16(s, 8), a)});
}
#endif
