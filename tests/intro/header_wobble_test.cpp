// Where the header's strips land (the shipped picture itself is pinned by the golden frames).
#include "intro/header_wobble.h"

#include <gtest/gtest.h>

#include <climits>

#include "gfx/null_screen.h"
#include "gfx/primitives.h"
#include "intro/sequencer.h"

namespace {

constexpr uint32_t kBlack = 0xFF000000;

class HeaderWobble : public NullScreen {
 protected:
  void SetUp() override {
    NullScreen::SetUp();
    HeaderFileName = "no_such_header.bmp";
  }
  void TearDown() override {
    reset_intro();
    NullScreen::TearDown();
  }
  // First and last column of row y that the picture changed; -1, -1 when none.
  static std::pair<int, int> drawn_span(int y) {
    int first = -1, last = -1;
    for (int x = 0; x < 640; ++x) {
      if (pixel(0, x, y) != kBlack) {
        if (first < 0) first = x;
        last = x;
      }
    }
    return {first, last};
  }
  static void clear_page() {
    draw_line(nullptr, 0.0f, 0.0f, 640.0f, 480.0f, kBlack, LINE_KIND_FILLED_BOX, 0xFFFF, 0);
  }
};

TEST_F(HeaderWobble, WithoutTheFileAMagentaBlockWavesWithTheFrame) {
  load_header();
  draw_header_wobble(0);
  // Strip 0 sits at the centre, strip 52 at the crest of the wave (sin 1.56 ~ 0.99994).
  EXPECT_EQ(drawn_span(40), std::make_pair(64, 575));
  EXPECT_EQ(drawn_span(92), std::make_pair(72, 583));
  EXPECT_EQ(pixel(0, 64, 40), 0xFFFE00FEu);  // magenta at alpha 255 of 256 over black
  EXPECT_EQ(drawn_span(39), std::make_pair(-1, -1));
  EXPECT_EQ(drawn_span(168), std::make_pair(-1, -1));
  clear_page();
  draw_header_wobble(-52);  // strip 0 in the trough
  EXPECT_EQ(drawn_span(40), std::make_pair(56, 567));
  clear_page();
  // Near the counter's end the phase wraps instead of overflowing; all 128 strips still land.
  draw_header_wobble(INT_MAX);
  for (int y = 40; y <= 167; ++y) EXPECT_EQ(drawn_span(y).second - drawn_span(y).first, 511) << y;
  EXPECT_EQ(drawn_span(168), std::make_pair(-1, -1));
}

}  // namespace
