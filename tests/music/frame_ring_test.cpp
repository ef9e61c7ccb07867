// The ring of rendered frames: what a read returns for every position relative to the writes.
#include "music/frame_ring.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// Frame n holds (n + 1, -(n + 1)), so every value names its own position.
void write_counting(FrameRing& ring, int frames) {
  std::vector<float> block(static_cast<size_t>(frames) * 2);
  for (int i = 0; i < frames; ++i) {
    const auto value = static_cast<float>(ring.written + i + 1);
    block[2 * i] = value;
    block[2 * i + 1] = -value;
  }
  ring_write(ring, block.data(), frames);
}

std::vector<float> read(FrameRing& ring, int64_t end, int frames) {
  std::vector<float> out(static_cast<size_t>(frames) * 2, 99.0f);
  ring_read(ring, end, frames, out.data());
  return out;
}

}  // namespace

TEST(FrameRing, ReadsTheFramesEndingAtThePosition) {
  auto ring = std::make_unique<FrameRing>();
  write_counting(*ring, 1000);
  write_counting(*ring, 1000);
  const auto out = read(*ring, 1500, 4);
  EXPECT_EQ(out, (std::vector<float>{1497, -1497, 1498, -1498, 1499, -1499, 1500, -1500}));
}

TEST(FrameRing, UnwrittenAndNegativePositionsReadAsSilence) {
  auto ring = std::make_unique<FrameRing>();
  write_counting(*ring, 10);
  const auto before_start = read(*ring, 2, 4);
  EXPECT_EQ(before_start, (std::vector<float>{0, 0, 0, 0, 1, -1, 2, -2}));
  const auto past_end = read(*ring, 12, 4);
  EXPECT_EQ(past_end, (std::vector<float>{9, -9, 10, -10, 0, 0, 0, 0}));
  for (float v : read(*ring, -5, 3)) EXPECT_EQ(v, 0.0f);
}

TEST(FrameRing, WrapsAroundAndForgetsOverwrittenFrames) {
  auto ring = std::make_unique<FrameRing>();
  for (int i = 0; i < 5; ++i) write_counting(*ring, 5000);  // 25000 frames, wrapped once
  const auto across_wrap = read(*ring, RING_FRAMES + 2, 4);
  EXPECT_EQ(across_wrap, (std::vector<float>{RING_FRAMES - 1, 1 - RING_FRAMES, RING_FRAMES,
                                             -RING_FRAMES, RING_FRAMES + 1, -RING_FRAMES - 1,
                                             RING_FRAMES + 2, -RING_FRAMES - 2}));
  const int64_t oldest = 25000 - RING_FRAMES;
  const auto overwritten = read(*ring, oldest + 2, 4);
  EXPECT_EQ(overwritten,
            (std::vector<float>{0, 0, 0, 0, static_cast<float>(oldest + 1),
                                -static_cast<float>(oldest + 1), static_cast<float>(oldest + 2),
                                -static_cast<float>(oldest + 2)}));
}
