#pragma once
// The colour word and the blend rule.
#include <cstdint>

// 0xAARRGGBB; a 32-bit pixel holds the same word.
using Color = uint32_t;

// The alpha byte of a colour; all of it set is opaque.
constexpr Color COLOR_ALPHA = 0xFF000000u;
constexpr bool is_opaque(Color c) {
  return (c & COLOR_ALPHA) == COLOR_ALPHA;
}

// Blends s over d with weight a (0..255): each channel becomes d + floor((s - d) * a / 256).
// Alpha is blended by the same rule. This is the reference every fast path must match.
inline Color blend_pixel(Color s, Color d, uint32_t a) {
  constexpr uint32_t kPairs = 0x00FF00FF;
  const uint32_t d_rb = d & kPairs, s_rb = s & kPairs;
  const uint32_t d_ag = (d >> 8) & kPairs, s_ag = (s >> 8) & kPairs;
  const uint32_t rb = (d_rb + (((s_rb - d_rb) * a) >> 8)) & kPairs;
  const uint32_t ag = (d_ag + (((s_ag - d_ag) * a) >> 8)) & kPairs;
  return rb | (ag << 8);
}

// Pixel word for a colour on a target of the given bytes per pixel.
inline uint32_t fix_color(int bytes_per_pixel, Color c) {
  if (bytes_per_pixel == 2) return ((c >> 8) & 0xF800) | ((c >> 5) & 0x07E0) | ((c & 0xFF) >> 3);
  if (bytes_per_pixel == 1) return c & 0xFF;
  return c;
}
