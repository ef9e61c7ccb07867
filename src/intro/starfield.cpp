#include "intro/starfield.h"

#include <cmath>

#include "gfx/primitives.h"
#include "support/random.h"

StarfieldData Starfield = {{}, {}, {}, STAR_START_SPEED};

namespace {

// Ties go to even: the default rounding mode.
double round_even(double v) {
  return std::nearbyint(v);
}

void place_star_vertically(int i) {
  Starfield.y[i] = static_cast<float>(round_even(random_unit() * 960.0) - 240.0);
  Starfield.depth[i] = static_cast<float>(round_even(random_unit() * 208.0) + 48.0);
}

}  // namespace

void init_starfield() {
  for (int i = 1; i <= STAR_COUNT; ++i) {
    Starfield.x[i] = static_cast<float>(round_even(random_unit() * 640.0));
    place_star_vertically(i);
  }
}

void draw_starfield(int32_t frame) {
  draw_line(nullptr, 0.0f, 0.0f, 640.0f, 480.0f, 0xFF000000u, LINE_KIND_FILLED_BOX, 0xFFFF, 0);
  const double sway = std::sin(0.01 * static_cast<double>(frame));
  for (int i = 1; i <= STAR_COUNT; ++i) {
    const double v = static_cast<double>(Starfield.speed) / static_cast<double>(Starfield.depth[i]);
    Starfield.x[i] = static_cast<float>(Starfield.x[i] + v);
    Starfield.y[i] = static_cast<float>(Starfield.y[i] + 0.5 * v * sway);
    const auto g = static_cast<uint32_t>(round_even(256.0 - Starfield.depth[i]));
    const uint32_t colour = 0xFF000000u | g << 16 | g << 8 | g;
    plot_pixel(nullptr, static_cast<float>(round_even(Starfield.x[i])),
               static_cast<float>(round_even(Starfield.y[i])), colour, 4, 0);
    if (Starfield.x[i] >= 640.0f) {
      Starfield.x[i] = 0.0f;
      place_star_vertically(i);
    }
  }
}
