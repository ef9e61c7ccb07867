#include "intro/sine_scroller.h"

#include <cmath>
#include <string_view>

#include "gfx/draw_context.h"
#include "gfx/text.h"
#include "intro/scroll_text.h"

void draw_sine_scroller(int32_t frame, int32_t position) {
  const int32_t c = (640 - position) / 8;
  const auto length = static_cast<int64_t>(ScrollText.size());
  for (int32_t k = c - 80; k <= c; ++k) {
    std::string_view character;
    if (k >= 1 && k <= length)
      character = std::string_view(ScrollText).substr(static_cast<size_t>(k - 1), 1);
    const auto x = static_cast<float>(static_cast<int64_t>(position) + 8 * static_cast<int64_t>(k));
    const double phase =
        0.027 * static_cast<double>(static_cast<int64_t>(frame) + 2 * static_cast<int64_t>(k));
    const auto y = static_cast<float>(448.0 + 24.0 * std::sin(phase));
    draw_text(nullptr, x, y, MODE_DEFAULT_COLOUR | 4, character, 0);
  }
}
