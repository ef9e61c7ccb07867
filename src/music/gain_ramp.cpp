#include "music/gain_ramp.h"

void apply_gain_ramp(float* stereo, int frames, float from, float to) {
  if (frames <= 0) return;
  const float step = (to - from) / static_cast<float>(frames);
  for (int i = 0; i < frames; ++i) {
    const float gain = i + 1 == frames ? to : from + step * static_cast<float>(i + 1);
    stereo[2 * i] *= gain;
    stereo[2 * i + 1] *= gain;
  }
}
