// The ring of rendered frames: what a read returns for every position relative to the writes.
#include "music/frame_ring.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <vector>

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
