// Which rendered frame is heard, from the callback's stamp and the block size.
#include "music/audible_position.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
constexpr int RATE = 44100;
constexpr int BLOCK = 1024;
constexpr double BLOCK_SECONDS = static_cast<double>(BLOCK) / RATE;
}  // namespace

TEST(AudibleFrame, LagsTwoBlocksRightAfterACallbackAndCatchesUpAtTheSampleRate) {
  EXPECT_EQ(audible_frame(10240, 0.0, BLOCK, RATE), 10240 - 2 * BLOCK);
  EXPECT_EQ(audible_frame(10240, 0.01, BLOCK, RATE), 10240 - 2 * BLOCK + 441);
  EXPECT_EQ(audible_frame(10240, BLOCK_SECONDS, BLOCK, RATE), 10240 - BLOCK);
}

TEST(AudibleFrame, IsContinuousAcrossACallbackOnTime) {
  const int64_t before = audible_frame(10240, BLOCK_SECONDS, BLOCK, RATE);
  const int64_t after = audible_frame(10240 + BLOCK, 0.0, BLOCK, RATE);
  EXPECT_EQ(before, after);
}

TEST(AudibleFrame, StaysWithinTheRenderedFramesWhateverTheClockSays) {
  // A stalled callback: the queue has run dry, the listener is at the rendered end at most.
  EXPECT_EQ(audible_frame(10240, 1.0, BLOCK, RATE), 10240);
  // A clock read that lands before the callback's own stamp.
  EXPECT_EQ(audible_frame(10240, -0.5, BLOCK, RATE), 10240 - 2 * BLOCK);
  EXPECT_EQ(audible_frame(10240, std::numeric_limits<double>::quiet_NaN(), BLOCK, RATE), 10240);
  EXPECT_EQ(audible_frame(10240, std::numeric_limits<double>::infinity(), BLOCK, RATE), 10240);
}

TEST(AudibleFrame, FollowsTheBlockSizeTheDeviceGave) {
  EXPECT_EQ(device_queue_frames(512), 1024);
  EXPECT_EQ(audible_frame(0, 0.0, 4096, RATE), -8192);  // before the first block: nothing heard
}
