#include "music/frame_ring.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int64_t RING_MASK = RING_FRAMES - 1;

// Copies frames [first, first + count) that are in the ring; the caller has checked the range.
void copy_out(const FrameRing& ring, int64_t first, int64_t count, float* stereo) {
  while (count > 0) {
    const int64_t slot = first & RING_MASK;
    const int64_t run = std::min(count, RING_FRAMES - slot);
    std::memcpy(stereo, ring.samples + slot * 2, static_cast<size_t>(run) * 2 * sizeof(float));
    stereo += run * 2;
    first += run;
    count -= run;
  }
}

}  // namespace

void ring_write(FrameRing& ring, const float* stereo, int frames) {
  std::lock_guard<std::mutex> guard(ring.lock);
  int64_t position = ring.written;
  int remaining = frames;
  while (remaining > 0) {
    const int64_t slot = position & RING_MASK;
    const int run = static_cast<int>(std::min<int64_t>(remaining, RING_FRAMES - slot));
    std::memcpy(ring.samples + slot * 2, stereo, static_cast<size_t>(run) * 2 * sizeof(float));
    stereo += run * 2;
    position += run;
    remaining -= run;
  }
  ring.written = position;
}

void ring_read(FrameRing& ring, int64_t end, int frames, float* stereo) {
  std::fill(stereo, stereo + static_cast<size_t>(frames) * 2, 0.0f);
  const int64_t begin = end - frames;
  std::lock_guard<std::mutex> guard(ring.lock);
  const int64_t oldest = std::max<int64_t>(0, ring.written - RING_FRAMES);
  const int64_t first = std::max(begin, oldest);
  const int64_t last = std::min(end, ring.written);
  if (first >= last) return;
  copy_out(ring, first, last - first, stereo + (first - begin) * 2);
}
