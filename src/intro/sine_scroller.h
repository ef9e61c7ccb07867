#pragma once
// The scroll text along the bottom of the page, each character on a sine wave.
#include <cstdint>

void draw_sine_scroller(int32_t frame, int32_t position);
