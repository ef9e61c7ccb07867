#include "platform/display_driver.h"

#include <gtest/gtest.h>

#include <array>

#include "platform/sdl/picture_output.h"

namespace {
// Refusing without a display, and saying why in one line, is checked on the program itself; a
// refused depth never reaches the view (a crash otherwise).
TEST(SdlDisplay, RefusesPalettePages) {
  const DisplayView view{};
  EXPECT_NE(SdlDisplayDriver.start("t", 640, 480, 8, 0, 0xC0, &view), 0);
  EXPECT_STRNE(display_error(), "");
}

// Centred and scaled by the largest whole factor that fits, never below 1 (an area smaller than
// the picture loses the same on both sides; the copy clips to it).
TEST(PictureTarget, CentredAtTheLargestWholeScaleThatFits) {
  const int rows[][6] = {
      // area width, height; the picture's rectangle in it
      {640, 480, 0, 0, 640, 480},        {1024, 768, 192, 144, 640, 480},   // 1.6 times: 1
      {1600, 1200, 160, 120, 1280, 960}, {1920, 1080, 320, 60, 1280, 960},  // height limits
      {2560, 1440, 320, 0, 1920, 1440},  {1279, 2000, 319, 760, 640, 480},  // width limits
      {320, 240, -160, -120, 640, 480}};
  for (const auto& [width, height, x, y, w, h] : rows) {
    const SDL_Rect r = picture_target(640, 480, width, height);
    EXPECT_EQ((std::array{r.x, r.y, r.w, r.h}), (std::array{x, y, w, h})) << width << "x" << height;
  }
}

TEST(PictureTarget, TheScaleShrinksUntilTheWindowFitsTheArea) {
  const int rows[][4] = {
      // scale asked, area width, area height, scale that fits
      {8, 5120, 3840, 8}, {8, 5119, 3840, 7}, {3, 1920, 1080, 2},   // height limits
      {3, 1280, 2000, 2},                                           // width limits
      {2, 1024, 768, 1},  {2, 320, 240, 1},   {1, 1920, 1080, 1}};  // never below 1
  for (const auto& row : rows)
    EXPECT_EQ(scale_that_fits(row[0], 640, 480, row[1], row[2]), row[3])
        << row[0] << " in " << row[1] << "x" << row[2];
}

}  // namespace
