#pragma once
// Sixteen translucent one-pixel bars swinging over the picture.
#include <cstdint>

void draw_raster_bars(int32_t frame);
