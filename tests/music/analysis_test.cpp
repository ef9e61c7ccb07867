// Level and spectrum on synthetic signals, fed to the analysis directly.
#include "music/analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

std::vector<float> stereo_frames(int frames, float (*left)(int), float (*right)(int)) {
  std::vector<float> samples(static_cast<size_t>(frames) * 2);
  for (int i = 0; i < frames; ++i) {
    samples[2 * i] = left(i);
    samples[2 * i + 1] = right(i);
  }
  return samples;
}

float silence(int) {
  return 0.0f;
}
float square(int i) {
  return (i / 50) % 2 == 0 ? 1.0f : -1.0f;
}
float bin10_sine(int i) {
  return static_cast<float>(std::sin(2.0 * std::numbers::pi * 10.0 * i / SPECTRUM_FRAMES));
}
float full_constant(int) {
  return 1.0f;
}

uint32_t left_word(uint32_t level) {
  return level & 0xFFFF;
}
uint32_t right_word(uint32_t level) {
  return level >> 16;
}

}  // namespace

TEST(PeakLevel, SilenceReadsZero) {
  const auto frames = stereo_frames(LEVEL_WINDOW_FRAMES, silence, silence);
  EXPECT_EQ(peak_level_word(frames.data(), LEVEL_WINDOW_FRAMES), 0u);
}

TEST(PeakLevel, FullScaleSquareReadsFullScaleOnBothSides) {
  const auto frames = stereo_frames(LEVEL_WINDOW_FRAMES, square, square);
  const uint32_t level = peak_level_word(frames.data(), LEVEL_WINDOW_FRAMES);
  EXPECT_EQ(left_word(level), 32768u);
  EXPECT_EQ(right_word(level), 32768u);
}

TEST(PeakLevel, LeftOnlySignalLeavesRightWordZero) {
  const auto frames = stereo_frames(LEVEL_WINDOW_FRAMES, bin10_sine, silence);
  const uint32_t level = peak_level_word(frames.data(), LEVEL_WINDOW_FRAMES);
  EXPECT_GT(left_word(level), 32000u);
  EXPECT_EQ(right_word(level), 0u);
}

TEST(PeakLevel, ScalesPeaksAndClampsOvershootAndIgnoresNaN) {
  std::vector<float> frames(LEVEL_WINDOW_FRAMES * 2, 0.0f);
  frames[2 * 100] = -0.5f;      // left: the absolute value counts
  frames[2 * 881 + 1] = 1.75f;  // right: decoder overshoot, clamped; last frame still counts
  frames[2 * 5 + 1] = std::nanf("");
  const uint32_t level = peak_level_word(frames.data(), LEVEL_WINDOW_FRAMES);
  EXPECT_EQ(left_word(level), 16384u);
  EXPECT_EQ(right_word(level), 32768u);
}

class Spectrum : public ::testing::Test {
 protected:
  void SetUp() override { analyser_ = create_spectrum_analyser(); }
  void TearDown() override { destroy_spectrum_analyser(analyser_); }
  std::vector<float> analyse(const std::vector<float>& frames) {
    std::vector<float> magnitudes(SPECTRUM_BINS, -1.0f);
    spectrum_magnitudes(analyser_, frames.data(), magnitudes.data());
    return magnitudes;
  }
  SpectrumAnalyser* analyser_ = nullptr;
};

TEST_F(Spectrum, SilenceReadsZeroEverywhere) {
  const auto magnitudes = analyse(stereo_frames(SPECTRUM_FRAMES, silence, silence));
  for (float m : magnitudes) EXPECT_EQ(m, 0.0f);
}

TEST_F(Spectrum, OnBinSineReadsHalfInItsBinAndLittleElsewhere) {
  const auto magnitudes = analyse(stereo_frames(SPECTRUM_FRAMES, bin10_sine, bin10_sine));
  EXPECT_NEAR(magnitudes[10], 0.5f, 0.001f);
  // The Hann window spreads an on-bin sine into its two neighbours at half height, nowhere else.
  EXPECT_NEAR(magnitudes[9], 0.25f, 0.001f);
  EXPECT_NEAR(magnitudes[11], 0.25f, 0.001f);
  for (int k = 0; k < SPECTRUM_BINS; ++k) {
    if (k < 9 || k > 11) {
      EXPECT_LT(magnitudes[k], 0.001f) << "bin " << k;
    }
  }
}

TEST_F(Spectrum, ChannelsAreMixedToMonoByTheirMean) {
  // Left only gives half the mono amplitude; opposite channels cancel.
  const auto left_only = analyse(stereo_frames(SPECTRUM_FRAMES, bin10_sine, silence));
  EXPECT_NEAR(left_only[10], 0.25f, 0.001f);
  auto opposite = stereo_frames(SPECTRUM_FRAMES, bin10_sine, bin10_sine);
  for (int i = 0; i < SPECTRUM_FRAMES; ++i) opposite[2 * i + 1] = -opposite[2 * i];
  for (float m : analyse(opposite)) EXPECT_LT(m, 1e-6f);
}

TEST_F(Spectrum, ConstantReadsOneInBinZeroAndLeaksIntoBinOneThroughTheWindow) {
  const auto magnitudes = analyse(stereo_frames(SPECTRUM_FRAMES, full_constant, full_constant));
  EXPECT_NEAR(magnitudes[0], 1.0f, 0.001f);
  EXPECT_NEAR(magnitudes[1], 0.5f, 0.001f);
  for (int k = 2; k < SPECTRUM_BINS; ++k) EXPECT_LT(magnitudes[k], 0.001f) << "bin " << k;
}
