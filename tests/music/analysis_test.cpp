// Level and spectrum on synthetic signals, fed to the analysis directly.
#include "music/analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

float silence(int) {
  return 0.0f;
}
float bin10_sine(int i) {
  return static_cast<float>(std::sin(2.0 * std::numbers::pi * 10.0 * i / SPECTRUM_FRAMES));
}
float full_constant(int) {
  return 1.0f;
}

std::vector<float> stereo_frames(int frames, float (*left)(int), float (*right)(int)) {
  std::vector<float> samples(static_cast<size_t>(frames) * 2);
  for (int i = 0; i < frames; ++i) {
    samples[2 * i] = left(i);
    samples[2 * i + 1] = right(i);
  }
  return samples;
}

}  // namespace

TEST(PeakLevel, ReadsEachChannelsPeakInTheLowAndHighWords) {
  std::vector<float> frames(LEVEL_WINDOW_FRAMES * 2, 0.0f);
  EXPECT_EQ(peak_level_word(frames.data(), LEVEL_WINDOW_FRAMES), 0u);
  // The absolute value counts; decoder overshoot is clamped; the last frame counts; NaN does not.
  frames[2 * 100] = -0.5f;
  frames[2 * 881 + 1] = 1.75f;
  frames[2 * 5 + 1] = std::nanf("");
  EXPECT_EQ(peak_level_word(frames.data(), LEVEL_WINDOW_FRAMES), 16384u | 32768u << 16);
  std::fill(frames.begin(), frames.end(), 1.0f);  // exactly full scale
  EXPECT_EQ(peak_level_word(frames.data(), LEVEL_WINDOW_FRAMES), 32768u | 32768u << 16);
}

TEST(Spectrum, MagnitudesOfSyntheticSignals) {
  SpectrumAnalyser* analyser = create_spectrum_analyser();
  const auto analyse = [analyser](const std::vector<float>& frames) {
    std::vector<float> magnitudes(SPECTRUM_BINS, -1.0f);
    spectrum_magnitudes(analyser, frames.data(), magnitudes.data());
    return magnitudes;
  };
  // An on-bin sine reads 0.5 in its bin, half that in its two neighbours through the Hann window
  // and nothing elsewhere; in one channel only, half as much. A constant reads 1 in bin 0 and
  // leaks into bin 1.
  struct Case {
    float (*left)(int);
    float (*right)(int);
    int first;
    std::vector<float> peak;
  } const cases[] = {{bin10_sine, bin10_sine, 9, {0.25f, 0.5f, 0.25f}},
                     {bin10_sine, silence, 9, {0.125f, 0.25f, 0.125f}},
                     {full_constant, full_constant, 0, {1.0f, 0.5f}}};
  for (const Case& c : cases) {
    const auto magnitudes = analyse(stereo_frames(SPECTRUM_FRAMES, c.left, c.right));
    for (int k = 0; k < SPECTRUM_BINS; ++k) {
      const size_t i = static_cast<size_t>(k - c.first);
      const float want = k >= c.first && i < c.peak.size() ? c.peak[i] : 0.0f;
      EXPECT_NEAR(magnitudes[k], want, 0.001f) << "bin " << k;
    }
  }
  destroy_spectrum_analyser(analyser);
}
