#include "intro/scroll_text.h"

#include <gtest/gtest.h>

#include <string>

#include "intro/sequencer.h"

namespace {

// Segment lengths and the character set are checked when the text is compiled; what is left is
// that building assembles all of it, the same each time.
TEST(ScrollText, BuildingAssemblesTheWholeTextEachTime) {
  build_scroll_text();
  const std::string first = ScrollText;
  build_scroll_text();
  EXPECT_EQ(ScrollText, first);
  EXPECT_EQ(first.size(), 2091u);
  EXPECT_EQ(first.substr(0, 40), std::string(40, ' '));  // the text starts off the page
  EXPECT_NE(first[40], ' ');
}

TEST(ScrollPosition, MovesThreePixelsAndStartsOverAfterTheText) {
  build_scroll_text();
  ScrollPosition = 640;
  advance_scroll();
  EXPECT_EQ(ScrollPosition, 637);
  // The first pass: 637 down to -16727 in 5789 frames.
  int frames = 1;
  while (ScrollPosition != 640 && frames < 10000) {
    EXPECT_GE(ScrollPosition, -8 * 2091);
    advance_scroll();
    ++frames;
    if (frames == 5789) {
      EXPECT_EQ(ScrollPosition, -16727);
    }
  }
  EXPECT_EQ(frames, 5790);
  // Every later pass shows 640 too: 5790 frames from 640 back to 640.
  for (int i = 0; i < 5790; ++i) advance_scroll();
  EXPECT_EQ(ScrollPosition, 640);
  advance_scroll();
  EXPECT_EQ(ScrollPosition, 637);
}

TEST(ScrollPosition, JumpsOnlyBelowMinusEightTimesTheLength) {
  ScrollText = "abcd";  // threshold -32
  ScrollPosition = -29;
  advance_scroll();
  EXPECT_EQ(ScrollPosition, -32);  // equal to the threshold is still drawn
  advance_scroll();
  EXPECT_EQ(ScrollPosition, 640);
  ScrollText.clear();  // an empty text starts over as soon as the position is negative
  ScrollPosition = 2;
  advance_scroll();
  EXPECT_EQ(ScrollPosition, 640);
  reset_intro();
}

}  // namespace
