// The analyser bars on the intro's screen: silence with no music, and the bars of real music
// read through SDL's disk audio driver, pixel for pixel.
#include "intro/analyser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

#include "gfx/null_screen.h"
#include "gfx/primitives.h"
#include "music/music.h"

namespace {

constexpr uint32_t RGB = 0x00FFFFFF;
constexpr uint32_t LEVEL_GREEN = 0x00FF00;
constexpr uint32_t SPECTRUM_GREEN_ON_BLACK = 0x003F00;  // alpha 64: floor(255 * 64 / 256)

class Analyser : public NullScreen {
 protected:
  // Rows 0..h of a level bar from a channel's peak (h rounded half away from zero by the drawing
  // layer): a full-scale 32768 draws 129 rows.
  static int level_rows(uint32_t peak) {
    return static_cast<int>(std::trunc(std::sqrt(static_cast<double>(peak >> 5)) * 4.0 + 0.5));
  }
  // Height of a spectrum bar: magnitude 1.0 reaches up to row 224.
  static int spectrum_height(float magnitude) {
    return static_cast<int>(std::nearbyint(std::sqrt(4096.0f * magnitude) * 4.0f));
  }
  // Every pixel of page 0 after drawing on a black page: the level bars over columns 0..8 and
  // 632..639 (x = 640 lies off the page), spectrum bar i over columns 4i+64..4i+66 from row
  // 480 - height to the bottom.
  static void expect_bars(uint32_t level, const float* spectrum) {
    std::vector<int> top(640, 480);
    for (int i = 1; i <= 128; ++i) {
      for (int x = 4 * i + 64; x <= 4 * i + 66; ++x) top[x] = 480 - spectrum_height(spectrum[i]);
    }
    int wrong = 0;
    for (int y = 0; y < 480; ++y) {
      for (int x = 0; x < 640; ++x) {
        uint32_t want = 0;
        if ((x <= 8 && y <= level_rows(level & 0xFFFF)) ||
            (x >= 632 && y <= level_rows(level >> 16)))
          want = LEVEL_GREEN;
        if (y >= top[x]) want = SPECTRUM_GREEN_ON_BLACK;
        const uint32_t got = pixel(0, x, y) & RGB;
        if (got != want && ++wrong <= 5) {
          ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << got
                        << ", expected " << want;
        }
      }
    }
    EXPECT_EQ(wrong, 0);
  }
};

}  // namespace

TEST_F(Analyser, FullScaleBarsAndOnlyBinsOneTo128) {
  float spectrum[513] = {};
  spectrum[0] = 1.0f;    // the constant component is not drawn
  spectrum[5] = 1.0f;    // bar 5: columns 84..86, rows 224..479
  spectrum[129] = 1.0f;  // beyond the last bar
  draw_analyser_bars(0x80008000u, spectrum);
  EXPECT_EQ(pixel(0, 0, 128) & RGB, LEVEL_GREEN);  // full scale: rows 0..128
  EXPECT_EQ(pixel(0, 8, 128) & RGB, LEVEL_GREEN);
  EXPECT_EQ(pixel(0, 0, 129) & RGB, 0u);
  EXPECT_EQ(pixel(0, 9, 0) & RGB, 0u);
  EXPECT_EQ(pixel(0, 632, 128) & RGB, LEVEL_GREEN);
  EXPECT_EQ(pixel(0, 631, 0) & RGB, 0u);
  EXPECT_EQ(pixel(0, 84, 224) & RGB, SPECTRUM_GREEN_ON_BLACK);
  EXPECT_EQ(pixel(0, 86, 479) & RGB, SPECTRUM_GREEN_ON_BLACK);
  EXPECT_EQ(pixel(0, 84, 223) & RGB, 0u);
  EXPECT_EQ(pixel(0, 87, 479) & RGB, 0u);
  expect_bars(0x80008000u, spectrum);
}

TEST_F(Analyser, WithoutMusicOnlyTheTopRowsOfTheLevelBarsShow) {
  const uint32_t saved = MusicChannel;
  MusicChannel = 0;
  draw_analyser();
  const float silence[513] = {};
  expect_bars(0, silence);
  MusicChannel = saved;
}

// The disk driver is made to sleep 200 ms after each 23 ms block, so once a block has been heard
// the queries stay the same for most of those 200 ms: the picture can be checked against them.
// The module starts with pads fading in; a few seconds in, the bars are tens of rows high.
TEST_F(Analyser, BarsFollowTheLevelAndSpectrumOfThePlayingMusic) {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
  setenv("SDL_DISKAUDIODELAY", "200", 1);
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
    draw_line(nullptr, 0.0f, 0.0f, 640.0f, 480.0f, 0xFF000000, LINE_KIND_FILLED_BOX, 0xFFFF, 0);
    draw_analyser();
    const uint32_t level_after = music_level(MusicChannel);
    music_spectrum(MusicChannel, after);
    if ((level_before & 0xFFFF) < 2048 || level_before != level_after ||
        !std::equal(before, before + 513, after)) {
      continue;  // still quiet, or the heard position moved while drawing
    }
    expect_bars(level_before, before);
    EXPECT_GT(*std::max_element(before + 1, before + 129), 0.01f);  // some bar 25+ rows high
    checked = true;
  }
  EXPECT_TRUE(checked) << "the music never held still long enough to compare";
  set_music_volume(1.0f / 256.0f);
}
