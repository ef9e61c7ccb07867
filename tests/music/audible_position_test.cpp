// Which rendered frame is heard, from the callback's stamp and the block size.
#include "music/audible_position.h"

#include <gtest/gtest.h>

#include <limits>

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
