#pragma once
// Volume changes spread over a block, so the 256 fade steps make no zipper noise.

// Multiplies `frames` interleaved stereo frames by a gain that moves in equal steps from `from`
// (the gain before this block) to `to`, reaching `to` on the last frame.
void apply_gain_ramp(float* stereo, int frames, float from, float to);
