// Measures the frame period of the intro's pacing: opens the screen as the intro does and runs
// its per-frame calls (sleep_ms(2), wait_vsync, set_pages(0, 1), copy_page(0, 1)), optionally
// holding the screen lock for a while each frame as drawing would.
//
//   frame_pacing [frames] [drawing_ms]     (defaults 600 and 0)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "gfx/screen.h"
#include "platform/display_driver.h"
#include "platform/session_bus.h"
#include "platform/timing.h"

namespace {
void busy_for(double seconds) {
  const double until = timer_seconds() + seconds;
  while (timer_seconds() < until) {
  }
}
}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::max(2, std::atoi(argv[1])) : 600;
  const double drawing_ms = argc > 2 ? std::atof(argv[2]) : 0.0;
  choose_session_bus();
  if (set_screen_mode(640, 480, 32, 2, 0xC0, 0) != 0) {
    std::fprintf(stderr, "frame_pacing: cannot open the window: %s\n", display_error());
    return 1;
  }
  const Screen* screen = current_screen();
  std::printf("back end %s, refresh rate %d Hz, %d frames, %.1f ms drawing per frame\n",
              screen->driver->name, screen->refresh_rate, frames, drawing_ms);

  std::vector<double> ends;
  ends.reserve(static_cast<size_t>(frames) + 1);
  ends.push_back(timer_seconds());
  for (int i = 0; i < frames; ++i) {
    if (drawing_ms > 0) {
      lock_screen();
      busy_for(drawing_ms / 1000.0);
      unlock_screen(-1, -1);
    }
    sleep_ms(2);
    wait_vsync();
    set_pages(0, 1);
    copy_page(0, 1);
    ends.push_back(timer_seconds());
  }

  // The first frames settle the pacing grid; measure the rest.
  const size_t skip = std::min<size_t>(10, ends.size() - 2);
  std::vector<double> periods;
  for (size_t i = skip + 1; i < ends.size(); ++i) periods.push_back((ends[i] - ends[i - 1]) * 1e3);
  double sum = 0;
  for (double p : periods) sum += p;
  const double mean = sum / static_cast<double>(periods.size());
  double squares = 0;
  for (double p : periods) squares += (p - mean) * (p - mean);
  const double deviation = std::sqrt(squares / static_cast<double>(periods.size()));
  const auto [low, high] = std::minmax_element(periods.begin(), periods.end());
  const double nominal = 1000.0 / (screen->refresh_rate > 0 ? screen->refresh_rate : 60);
  const auto beyond = [&](double factor) {
    return std::count_if(periods.begin(), periods.end(), [&](double p) {
      return factor > 1 ? p > nominal * factor : p < nominal * factor;
    });
  };
  std::printf("frame period over %zu frames: mean %.3f ms, sd %.3f ms, min %.3f ms, max %.3f ms\n",
              periods.size(), mean, deviation, *low, *high);
  std::printf("nominal %.3f ms; longer than 1.5x: %td, shorter than 0.5x: %td\n", nominal,
              beyond(1.5), beyond(0.5));
  shutdown_screen();
  return 0;
}
