#include "intro/raster_bars.h"

#include <cmath>

#include "gfx/primitives.h"

namespace {

uint32_t colour_channel(double phase) {
  return static_cast<uint32_t>(std::nearbyint(64.0 * std::cos(phase) + 128.0));
}

}  // namespace

void draw_raster_bars(int32_t frame) {
  int32_t bar_y[16];
  for (int k = 0; k < 16; ++k) {
    const double phase = 0.03 * static_cast<double>(static_cast<int64_t>(frame) + 3 * k);
    bar_y[k] = static_cast<int32_t>(std::nearbyint(240.0 * std::sin(phase) + 240.0));
  }
  for (int k = 0; k < 16; ++k) {
    const double t = static_cast<double>(k) + static_cast<double>(frame);
    const uint32_t r = colour_channel(0.04 * t);
    const uint32_t g = colour_channel(0.03 * t);
    const uint32_t b = colour_channel(0.02 * t);
    const auto a = static_cast<uint32_t>(16 * k);
    const auto y = static_cast<float>(bar_y[k]);
    draw_line(nullptr, 0.0f, y, 639.0f, y, a << 24 | r << 16 | g << 8 | b, LINE_KIND_LINE, 0xFFFF,
              0);
  }
}
