// Level and spectrum on synthetic signals, fed to the analysis directly.
#include "music/analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

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
  // An on-bin sine: 0.5 in its bin, 0.25 either side (Hann), half in one channel; a constant: 1.
  const auto sine = [](int i) {
    return std::sin(2.0 * std::numbers::pi * 10.0 * i / SPECTRUM_FRAMES);
  };
  struct Case {
    double left_scale, right_scale, constant;
    int first;
    std::vector<float> peak;
  } const cases[] = {{1, 1, 0, 9, {0.25f, 0.5f, 0.25f}},
                     {1, 0, 0, 9, {0.125f, 0.25f, 0.125f}},
                     {0, 0, 1, 0, {1.0f, 0.5f}}};
  for (const Case& c : cases) {
    std::vector<float> frames(SPECTRUM_FRAMES * 2), magnitudes(SPECTRUM_BINS, -1.0f);
    for (int i = 0; i < SPECTRUM_FRAMES; ++i) {
      frames[2 * i] = static_cast<float>(c.left_scale * sine(i) + c.constant);
      frames[2 * i + 1] = static_cast<float>(c.right_scale * sine(i) + c.constant);
    }
    spectrum_magnitudes(analyser, frames.data(), magnitudes.data());
    for (int k = 0; k < SPECTRUM_BINS; ++k) {
      const size_t i = static_cast<size_t>(k - c.first);
      EXPECT_NEAR(magnitudes[k], k >= c.first && i < c.peak.size() ? c.peak[i] : 0.0f, 0.001f)
          << "bin " << k;
    }
  }
  destroy_spectrum_analyser(analyser);
}
