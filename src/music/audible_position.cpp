#include "music/audible_position.h"

#include <cmath>

int device_queue_frames(int block_frames) {
  return 2 * block_frames;
}

int64_t audible_frame(int64_t rendered_frames, double seconds_since_callback, int block_frames,
                      int rate) {
  const double full_queue = device_queue_frames(block_frames);
  double queued = full_queue - seconds_since_callback * rate;
  // A late callback drains the queue; a clock read before the callback's own stamp fills it.
  // The comparisons also catch NaN before the conversion to an integer.
  if (!(queued >= 0.0)) queued = 0.0;
  if (queued > full_queue) queued = full_queue;
  return rendered_frames - static_cast<int64_t>(std::llround(queued));
}
