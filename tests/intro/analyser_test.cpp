// The analyser bars on the intro's screen: silence with no music, and the bars of real music
// read through SDL's disk audio driver, pixel for pixel.
#include "intro/analyser.h"

#include <SDL2/SDL_stdinc.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <thread>
#include <vector>

#include "gfx/null_screen.h"
#include "gfx/primitives.h"
#include "intro/sequencer.h"
#include "music/music.h"

namespace {

constexpr uint32_t RGB = 0x00FFFFFF;
constexpr uint32_t LEVEL_GREEN = 0x00FF00;
constexpr uint32_t SPECTRUM_GREEN_ON_BLACK = 0x003F00;  // alpha 64: floor(255 * 64 / 256)

class Analyser : public NullScreen {
 protected:
  static void clear_page() {
    draw_line(nullptr, 0.0f, 0.0f, 640.0f, 480.0f, 0xFF000000, LINE_KIND_FILLED_BOX, 0xFFFF, 0);
  }
  // Every pixel of page 0 after drawing on a black page: level bars over columns 0..8 (rows
  // 0..left) and 632..639 (rows 0..right; x = 640 lies off the page), spectrum bar i over columns
  // 4i+64..4i+66 from its top row to the bottom.
  static void expect_bars(int left, int right, const std::map<int, int>& spectrum_tops) {
    int wrong = 0;
    for (int y = 0; y < 480; ++y) {
      for (int x = 0; x < 640; ++x) {
        uint32_t want = (x <= 8 && y <= left) || (x >= 632 && y <= right) ? LEVEL_GREEN : 0;
        const auto bar = spectrum_tops.find((x - 64) / 4);
        if (x >= 68 && (x - 64) % 4 != 3 && bar != spectrum_tops.end() && y >= bar->second)
          want = SPECTRUM_GREEN_ON_BLACK;
        const uint32_t got = pixel(0, x, y) & RGB;
        if (got != want && ++wrong <= 5)
          ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << got
                        << ", expected " << want;
      }
    }
    EXPECT_EQ(wrong, 0);
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

// The disk driver is made to sleep 200 ms after each 23 ms block, so once a block has been heard
// the queries stay the same for most of those 200 ms: the picture can be checked against them.
// The module starts with pads fading in; a few seconds in, the bars are tens of rows high.
TEST_F(Analyser, BarsFollowTheLevelAndSpectrumOfThePlayingMusic) {
  SDL_setenv("SDL_AUDIODRIVER", "disk", 1);
#ifdef _WIN32
  // SDL 2.26's disk driver reads the file's name from a buffer that its next SDL_getenv, of the
  // delay, overwrites on Windows: it would write a file named "200" here.
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
    float before[513] = {};
    float after[513] = {};
    const uint32_t level_before = music_level(MusicChannel);
    music_spectrum(MusicChannel, before);
    clear_page();
    draw_analyser();
    const uint32_t level_after = music_level(MusicChannel);
    music_spectrum(MusicChannel, after);
    if ((level_before & 0xFFFF) < 2048 || level_before != level_after ||
        !std::equal(before, before + 513, after)) {
      continue;  // still quiet, or the heard position moved while drawing
    }
    // What the queries answered is what was drawn.
    const std::vector<uint8_t> drawn(current_screen()->pages[0],
                                     current_screen()->pages[0] + 640 * 480 * 4);
    clear_page();
    draw_analyser_bars(level_before, before);
    EXPECT_TRUE(std::equal(drawn.begin(), drawn.end(), current_screen()->pages[0]));
    EXPECT_GT(*std::max_element(before + 1, before + 129), 0.01f);  // some bar 25+ rows high
    checked = true;
  }
  EXPECT_TRUE(checked) << "the music never held still long enough to compare";
  reset_intro();  // no music playing on into later tests
}
