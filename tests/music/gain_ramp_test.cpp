// Volume changes as ramps: no step in the gain larger than one increment of the ramp.
#include "music/gain_ramp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

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
