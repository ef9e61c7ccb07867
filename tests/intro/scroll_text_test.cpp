#include "intro/scroll_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "intro/sequencer.h"

namespace {

// Built the same each time, the text passes in steps of 3 and starts over below -8 * length.
TEST(Scroll, TheWholeTextPassesInStepsOfThreeAndStartsOverBelowItsEnd) {
  reset_intro();
  build_scroll_text();
  const std::string first = ScrollText;
  build_scroll_text();
  EXPECT_EQ(ScrollText, first);
  EXPECT_EQ(first.substr(0, 40), std::string(40, ' '));  // the text starts off the page
  EXPECT_NE(first[40], ' ');
  // 2091 bytes have left the page below -16728: 5790 frames from 640 back to 640, each pass.
  ASSERT_EQ(ScrollPosition, 640);
  for (int frame = 1; frame <= 2 * 5790; ++frame) {
    advance_scroll();
    ASSERT_EQ(ScrollPosition, 640 - 3 * (frame % 5790)) << frame;
  }
  ScrollText = "abcd";  // drawn down to -32
  for (auto [from, to] : {std::pair{-29, -32}, {-32, 640}}) {
    ScrollPosition = from;
    advance_scroll();
    EXPECT_EQ(ScrollPosition, to);
  }
  ScrollText.clear();
  ScrollPosition = 2;
  advance_scroll();
  EXPECT_EQ(ScrollPosition, 640);
}

}  // namespace
