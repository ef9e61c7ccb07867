#include "intro/scroll_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

struct Segment {
  int bytes;
  bool text;
  bool ends_with_space;
  int cyrillic;
};

// Runs of spaces and the lines between them, in order.
constexpr Segment kLayout[] = {
    {40, false, true, 0},  {82, true, true, 0},   {112, true, false, 0}, {80, false, true, 0},
    {102, true, true, 52}, {92, true, false, 50}, {100, false, true, 0}, {111, true, true, 85},
    {105, true, true, 71}, {108, true, true, 62}, {109, true, true, 76}, {99, true, true, 71},
    {100, false, true, 0}, {105, true, true, 64}, {107, true, true, 71}, {16, true, false, 12},
    {100, false, true, 0}, {47, true, false, 0},  {100, false, true, 0}, {73, true, true, 0},
    {111, true, true, 20}, {30, true, false, 0},  {100, false, true, 0}, {62, true, false, 48},
};

TEST(ScrollText, FollowsTheSegmentTableInPrintableBytes) {
  build_scroll_text();
  ASSERT_EQ(ScrollText.size(), 2091u);
  size_t at = 0;
  for (const Segment& seg : kLayout) {
    SCOPED_TRACE(at);
    const std::string part = ScrollText.substr(at, static_cast<size_t>(seg.bytes));
    if (!seg.text) {
      EXPECT_EQ(part, std::string(static_cast<size_t>(seg.bytes), ' '));
    } else {
      // A line neither starts with a space nor, unless it should, ends with one, so the runs
      // between paragraphs have exactly their lengths.
      EXPECT_NE(part.front(), ' ');
      EXPECT_EQ(part.back() == ' ', seg.ends_with_space);
      EXPECT_EQ(std::count_if(part.begin(), part.end(), [](unsigned char c) { return c >= 0xC0; }),
                seg.cyrillic);
    }
    at += static_cast<size_t>(seg.bytes);
  }
  EXPECT_NE(ScrollText.back(), ' ');
  // Printable ASCII and Cyrillic letters only: no control bytes, nothing in 0x80..0xBF.
  for (unsigned char c : ScrollText)
    EXPECT_TRUE(c >= 0x20 && c != 0x7F && (c < 0x80 || c >= 0xC0)) << int(c);
  // Building again gives the same text.
  const std::string first = ScrollText;
  build_scroll_text();
  EXPECT_EQ(ScrollText, first);
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
  build_scroll_text();
  ScrollPosition = 640;
}

}  // namespace
