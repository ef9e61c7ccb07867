// Between rendering and the device: the ring of rendered frames, volume ramps, which frame is
// heard, and its level and spectrum on synthetic signals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <memory>
#include <numbers>
#include <vector>

#include "music/analysis.h"
#include "music/audible_position.h"
#include "music/frame_ring.h"
#include "music/gain_ramp.h"

namespace {

// Frame n holds (n + 1, -(n + 1)), so every value names its own position.
void write_counting(FrameRing& ring, int frames) {
  std::vector<float> block;
  for (int i = 1; i <= frames; ++i)
    block.insert(block.end(), {1.0f * (ring.written + i), -1.0f * (ring.written + i)});
  ring_write(ring, block.data(), frames);
}

// The samples of frames holding n each, 0 for silence.
std::vector<float> frames_at(std::initializer_list<int64_t> values) {
  std::vector<float> samples;
  for (int64_t n : values) samples.insert(samples.end(), {1.0f * n, -1.0f * n});
  return samples;
}

std::vector<float> read(FrameRing& ring, int64_t end, int frames) {
  std::vector<float> out(static_cast<size_t>(frames) * 2, 99.0f);
  ring_read(ring, end, frames, out.data());
  return out;
}

}  // namespace

TEST(FrameRing, ReadsTheFramesEndingAtThePositionAndSilenceWhereNoneAre) {
  auto ring = std::make_unique<FrameRing>();
  write_counting(*ring, 10);
  EXPECT_EQ(read(*ring, 2, 4), frames_at({0, 0, 1, 2}));
  EXPECT_EQ(read(*ring, 12, 4), frames_at({9, 10, 0, 0}));
  EXPECT_EQ(read(*ring, -5, 3), frames_at({0, 0, 0}));
  write_counting(*ring, 1990);
  EXPECT_EQ(read(*ring, 1500, 4), frames_at({1497, 1498, 1499, 1500}));
  // Wrapped: the oldest frames still held, and none of those overwritten.
  for (int i = 0; i < 23; ++i) write_counting(*ring, 1000);
  EXPECT_EQ(read(*ring, RING_FRAMES + 2, 4),
            frames_at({RING_FRAMES - 1, RING_FRAMES, RING_FRAMES + 1, RING_FRAMES + 2}));
  const int64_t oldest = 25000 - RING_FRAMES;
  EXPECT_EQ(read(*ring, oldest + 2, 4), frames_at({0, 0, oldest + 1, oldest + 2}));
}

// Volume changes as ramps: no step in the gain larger than one increment of the ramp.
TEST(GainRamp, MovesInEqualStepsAndEndsOnTheTarget) {
  constexpr int frames = 1024;
  std::vector<float> ones(frames * 2, 1.0f);
  const float from = 200.0f / 256.0f, to = 199.0f / 256.0f, increment = (from - to) / frames;
  apply_gain_ramp(ones.data(), frames, from, to);
  float previous = from;
  for (int i = 0; i < frames; ++i) {
    EXPECT_EQ(ones[2 * i], ones[2 * i + 1]);
    EXPECT_LE(std::fabs(ones[2 * i] - previous), increment * 1.001f) << "frame " << i;
    EXPECT_LT(ones[2 * i], previous) << "frame " << i;
    previous = ones[2 * i];
  }
  EXPECT_EQ(ones[2 * (frames - 1)], to);
  // Exactly on the target although 1 + 2 * ((0.2 - 1) / 3) + (0.2 - 1) / 3 misses it; constant
  // gain scales every frame alike.
  std::vector<float> samples{1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
  apply_gain_ramp(samples.data(), 3, 1.0f, 0.2f);
  EXPECT_EQ(samples[4], 0.2f);
  samples = {1.0f, -2.0f, 0.5f, 4.0f};
  apply_gain_ramp(samples.data(), 2, 0.25f, 0.25f);
  EXPECT_EQ(samples, (std::vector<float>{0.25f, -0.5f, 0.125f, 1.0f}));
}

// Which rendered frame is heard, from the callback's stamp and the block size.
TEST(AudibleFrame, LagsTheDeviceQueueAndStaysWithinTheRenderedFrames) {
  constexpr int RATE = 44100, BLOCK = 1024;
  constexpr double BLOCK_SECONDS = static_cast<double>(BLOCK) / RATE;
  // Two blocks behind right after a callback, catching up at the sample rate.
  EXPECT_EQ(audible_frame(10240, 0.0, BLOCK, RATE), 10240 - 2 * BLOCK);
  EXPECT_EQ(audible_frame(10240, 0.01, BLOCK, RATE), 10240 - 2 * BLOCK + 441);
  EXPECT_EQ(audible_frame(10240, BLOCK_SECONDS, BLOCK, RATE), 10240 - BLOCK);
  // Continuous across a callback on time.
  EXPECT_EQ(audible_frame(10240 + BLOCK, 0.0, BLOCK, RATE), 10240 - BLOCK);
  // A stalled callback leaves the listener at the rendered end at most; a clock read before the
  // callback's own stamp, or one that is no number, stays within the frames too.
  EXPECT_EQ(audible_frame(10240, 1.0, BLOCK, RATE), 10240);
  EXPECT_EQ(audible_frame(10240, -0.5, BLOCK, RATE), 10240 - 2 * BLOCK);
  EXPECT_EQ(audible_frame(10240, std::numeric_limits<double>::quiet_NaN(), BLOCK, RATE), 10240);
  EXPECT_EQ(audible_frame(10240, std::numeric_limits<double>::infinity(), BLOCK, RATE), 10240);
  // The block size the device gave sets the lag; before the first block nothing is heard.
  EXPECT_EQ(device_queue_frames(512), 1024);
  EXPECT_EQ(audible_frame(0, 0.0, 4096, RATE), -8192);
}

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
