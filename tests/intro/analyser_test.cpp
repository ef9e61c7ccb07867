// The analyser bars, pixel for pixel: worked out by hand, silent, and following real music.
#include "intro/analyser.h"

#include <SDL2/SDL_stdinc.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <thread>
#include <vector>

#include "gfx/null_screen.h"
#include "intro/sequencer.h"
#include "music/music.h"

namespace {

class Analyser : public NullScreen {
 protected:
  // Level bars over x 0..8 and 632..639 down to rows left and right; spectrum bar i over x
  // 4i+64..4i+66 from its top down, green at alpha 64 (0x3F on black).
  static void expect_bars(int left, int right, const std::map<int, int>& spectrum_tops) {
    for (int y = 0; y < 480; ++y) {
      for (int x = 0; x < 640; ++x) {
        uint32_t want = (x <= 8 && y <= left) || (x >= 632 && y <= right) ? 0xFF00 : 0;
        const auto bar = spectrum_tops.find((x - 64) / 4);
        if (x >= 68 && (x - 64) % 4 != 3 && bar != spectrum_tops.end() && y >= bar->second)
          want = 0x3F00;
        ASSERT_EQ(pixel(0, x, y) & 0xFFFFFF, want) << x << ", " << y;
      }
    }
  }
};

}  // namespace

// Level bars are sqrt(peak >> 5) * 4 rows below row 0, spectrum bars 4 * sqrt(4096 * magnitude)
// rows high, both rounded; the values below are worked out by hand.
TEST_F(Analyser, BarHeightsFromPeaksAndMagnitudes) {
  float spectrum[513] = {};
  spectrum[0] = 1.0f;          // the constant component is not drawn
  spectrum[1] = 1.0f / 4096;   // 4 rows
  spectrum[5] = 1.0f;          // 256 rows
  spectrum[64] = 3.0f / 4096;  // 6.93: 7 rows
  spectrum[128] = 0.0625f;     // 64 rows
  spectrum[129] = 1.0f;        // beyond the last bar
  // Left peak 0x8000: 32 * 4 = 128; right 0x60: sqrt(3) * 4 = 6.93, so rows 0..7.
  draw_analyser_bars(0x00608000u, spectrum);
  expect_bars(128, 7, {{1, 476}, {5, 224}, {64, 473}, {128, 416}});
  // Without music only the top rows of the level bars show.
  reset_intro();
  clear_page();
  draw_analyser();
  expect_bars(0, 0, {});
}

// The disk driver sleeps 200 ms after each block, so the queries hold still while drawing.
TEST_F(Analyser, BarsFollowTheLevelAndSpectrumOfThePlayingMusic) {
  SDL_setenv("SDL_AUDIODRIVER", "disk", 1);
#ifdef _WIN32
  // SDL 2.26 overwrites the disk driver's file name on Windows with the delay: a file "200".
  GTEST_SKIP() << "SDL's disk audio driver loses its file name on Windows";
#endif
  SDL_setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
  SDL_setenv("SDL_DISKAUDIODELAY", "200", 1);
  MusicFileName = "../../data/module.xm";
  start_music();
  ASSERT_NE(MusicChannel, 0u);

  bool checked = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!checked && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    float before[513] = {}, after[513] = {};
    const uint32_t level = music_level(MusicChannel);
    music_spectrum(MusicChannel, before);
    clear_page();
    draw_analyser();
    music_spectrum(MusicChannel, after);
    // Still quiet, or the heard position moved while drawing: try again.
    if ((level & 0xFFFF) < 2048 || level != music_level(MusicChannel) ||
        !std::equal(before, before + 513, after))
      continue;
    // What the queries answered is what was drawn; some bar is 25+ rows high.
    const std::vector<uint8_t> drawn(current_screen()->pages[0],
                                     current_screen()->pages[0] + 640 * 480 * 4);
    clear_page();
    draw_analyser_bars(level, before);
    EXPECT_TRUE(std::equal(drawn.begin(), drawn.end(), current_screen()->pages[0]));
    EXPECT_GT(*std::max_element(before + 1, before + 129), 0.01f);
    checked = true;
  }
  EXPECT_TRUE(checked) << "the music never held still long enough to compare";
  reset_intro();  // no music playing on into later tests
}
