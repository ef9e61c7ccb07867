#include "intro/analyser.h"

#include <cmath>
#include <cstdint>

#include "gfx/primitives.h"
#include "music/music.h"

namespace {

constexpr Color LEVEL_COLOUR = 0xFF00FF00;
constexpr Color SPECTRUM_COLOUR = 0x4000FF00;
constexpr int SPECTRUM_BARS = 128;

// Height of a level bar from one channel's 0..32768 peak: sqrt(peak >> 5) * 4, left fractional.
float level_bar_height(uint32_t peak) {
  const uint32_t scaled = peak >> 5;
  return static_cast<float>(std::sqrt(static_cast<double>(scaled)) * 4.0);
}

// 256 * sqrt(magnitude) in single precision, rounded ties-to-even. Anything that is not a finite
// non-negative height (a NaN from a broken query) draws as 0; huge heights clip at the page top
// anyway, so they are capped before the conversion.
int32_t spectrum_bar_height(float magnitude) {
  const float height = std::nearbyint(std::sqrt(4096.0f * magnitude) * 4.0f);
  if (!(height >= 0.0f)) return 0;
  if (height > 1.0e6f) return 1000000;
  return static_cast<int32_t>(height);
}

}  // namespace

void draw_analyser() {
  float spectrum[513] = {};  // index 512 stays 0: the query fills 0..511
  const uint32_t level = music_level(MusicChannel);
  music_spectrum(MusicChannel, spectrum);
  draw_analyser_bars(level, spectrum);
}

void draw_analyser_bars(uint32_t level, const float* spectrum) {
  draw_line(nullptr, 0.0f, 0.0f, 8.0f, level_bar_height(level & 0xFFFF), LEVEL_COLOUR,
            LINE_KIND_FILLED_BOX, 0xFFFF, 0);
  // Column 640 is off the page, so this bar shows one column less than the left one.
  draw_line(nullptr, 640.0f, 0.0f, 632.0f, level_bar_height(level >> 16), LEVEL_COLOUR,
            LINE_KIND_FILLED_BOX, 0xFFFF, 0);
  for (int i = 1; i <= SPECTRUM_BARS; ++i) {
    const int32_t height = spectrum_bar_height(spectrum[i]);
    draw_line(nullptr, static_cast<float>(4 * i + 64), 480.0f, static_cast<float>(4 * i + 66),
              static_cast<float>(480 - height), SPECTRUM_COLOUR, LINE_KIND_FILLED_BOX, 0xFFFF, 0);
  }
}
