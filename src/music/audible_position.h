#pragma once
// Which rendered frame the listener hears now, estimated from the audio callback's timing.
#include <cstdint>

// Frames still waiting in the device right after a callback has handed over its block: that block
// plus the one the device is still playing (double buffering).
int device_queue_frames(int block_frames);

// Absolute frame being heard `seconds_since_callback` after the last callback, which left
// `rendered_frames` rendered in total: the rendered position less what is still queued, the
// queue draining at `rate` frames per second. Never ahead of the rendered position nor further
// behind than the full queue.
int64_t audible_frame(int64_t rendered_frames, double seconds_since_callback, int block_frames,
                      int rate);
