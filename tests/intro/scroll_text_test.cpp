#include "intro/scroll_text.h"

#include <gtest/gtest.h>

#include <string>

#include "intro/sequencer.h"

namespace {

class Scroll : public ::testing::Test {
 protected:
  void SetUp() override { reset_intro(); }
};

// Segment lengths and the character set are checked when the text is compiled; what is left is
// that building assembles all of it, the same each time, and how the position follows it.
TEST_F(Scroll, TheWholeTextPassesInStepsOfThreeAndStartsOver) {
  build_scroll_text();
  const std::string first = ScrollText;
  build_scroll_text();
  EXPECT_EQ(ScrollText, first);
  EXPECT_EQ(first.substr(0, 40), std::string(40, ' '));  // the text starts off the page
  EXPECT_NE(first[40], ' ');
  // 2091 bytes have left the page below -16728: 5790 frames from 640 back to 640, each pass.
  ASSERT_EQ(ScrollPosition, 640);
  for (int pass = 0; pass < 2; ++pass) {
    for (int frame = 1; frame < 5790; ++frame) {
      advance_scroll();
      ASSERT_EQ(ScrollPosition, 640 - 3 * frame) << frame;
    }
    advance_scroll();
    EXPECT_EQ(ScrollPosition, 640);
  }
}

TEST_F(Scroll, JumpsOnlyBelowMinusEightTimesTheLength) {
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
}

}  // namespace
