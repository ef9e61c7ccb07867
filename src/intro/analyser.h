#pragma once
// Level and spectrum bars that follow the music.

#include <cstdint>

// Queries the music's level and spectrum and draws their bars.
void draw_analyser();
// The bars of a level word (left peak in bits 0-15, right in 16-31) and 512 spectrum magnitudes.
void draw_analyser_bars(uint32_t level, const float* spectrum);
