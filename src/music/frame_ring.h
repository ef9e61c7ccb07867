#pragma once
// The most recently rendered stereo frames, written by the audio thread and read by the drawing
// thread. Either side holds the lock only for one copy of at most a block of frames.
#include <cstdint>
#include <mutex>

constexpr int RING_FRAMES = 16384;  // power of two, far more than device queue plus FFT length

struct FrameRing {
  std::mutex lock;
  int64_t written = 0;  // frames written since the start, also the end position
  float samples[RING_FRAMES * 2] = {};
};

// Appends `frames` interleaved stereo frames (at most RING_FRAMES).
void ring_write(FrameRing& ring, const float* stereo, int frames);

// Copies the `frames` frames that end just before absolute frame `end` into `stereo`. Frames
// not yet written, before the start, or already overwritten read as silence.
void ring_read(FrameRing& ring, int64_t end, int frames, float* stereo);
