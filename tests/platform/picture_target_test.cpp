#include <gtest/gtest.h>

#include "platform/sdl/picture_output.h"

namespace {

void expect_rect(const SDL_Rect& r, int x, int y, int w, int h) {
  EXPECT_EQ(r.x, x);
  EXPECT_EQ(r.y, y);
  EXPECT_EQ(r.w, w);
  EXPECT_EQ(r.h, h);
}

TEST(PictureTarget, OneToOneInAWindowOfThePicturesSize) {
  expect_rect(picture_target(640, 480, 640, 480), 0, 0, 640, 480);
}

TEST(PictureTarget, CentredAndScaledByTheLargestWholeFactorThatFits) {
  expect_rect(picture_target(640, 480, 1024, 768), 192, 144, 640, 480);    // 1.6 times: 1
  expect_rect(picture_target(640, 480, 1600, 1200), 160, 120, 1280, 960);  // 2.5 times: 2
  expect_rect(picture_target(640, 480, 1920, 1080), 320, 60, 1280, 960);   // height limits
  expect_rect(picture_target(640, 480, 2560, 1440), 320, 0, 1920, 1440);   // exactly 3 high
  expect_rect(picture_target(640, 480, 1279, 2000), 319, 760, 640, 480);   // width limits
}

TEST(PictureTarget, AnAreaSmallerThanThePictureKeepsScaleOne) {
  // Centred, so both sides lose the same; the copy clips to the area.
  expect_rect(picture_target(640, 480, 320, 240), -160, -120, 640, 480);
}

TEST(PictureTarget, TheScaleShrinksUntilTheWindowFitsTheArea) {
  const int rows[][4] = {
      // scale asked, area width, area height, scale that fits
      {8, 5120, 3840, 8}, {8, 5119, 3840, 7}, {3, 1920, 1080, 2},  // height limits
      {3, 1280, 2000, 2},                                          // width limits
      {2, 1024, 768, 1},  {2, 320, 240, 1},   {1, 1920, 1080, 1},  // never below 1
  };
  for (const auto& row : rows)
    EXPECT_EQ(scale_that_fits(row[0], 640, 480, row[1], row[2]), row[3])
        << row[0] << " in " << row[1] << "x" << row[2];
}

}  // namespace
