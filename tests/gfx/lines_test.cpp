#include <gtest/gtest.h>

#include "gfx/null_screen.h"
#include "gfx/primitives.h"

namespace {

using Lines = NullScreen;

int count_not(uint32_t background) {
  int n = 0;
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) n += NullScreen::pixel(0, x, y) != background;
  }
  return n;
}

TEST_F(Lines, FilledBoxesCoverExactlyTheirPixelsAndMarkTheirRows) {
  // A level bar from the bottom edge (480, just off the page) up ten rows, and one of height 0.
  clear_dirty();
  draw_line(nullptr, 76, 480, 78, 470, 0xFFFFFFFFu, LINE_KIND_FILLED_BOX, 0xFFFF, 0);
  draw_line(nullptr, 100, 480, 102, 480, 0xFFFFFFFFu, LINE_KIND_FILLED_BOX, 0xFFFF, 0);
  EXPECT_EQ(count_not(0xFF000000u), 30);
  expect_pixels(0xFFFFFFFFu, {{76, 470}, {78, 479}});
  EXPECT_EQ(dirty_count(), 10);
  // The whole page, then the exit fade's overlays: alpha 0 is blended too and changes nothing,
  // the last one leaves the page black.
  draw_line(nullptr, 0, 0, 640, 480, 0xFF204060u, LINE_KIND_FILLED_BOX, 0xFFFF, 0);
  draw_line(nullptr, 0, 0, 640, 480, 0x00000000u, LINE_KIND_FILLED_BOX, 0xFFFF, 0);
  EXPECT_EQ(count_not(0xFF204060u), 0);
  draw_line(nullptr, 0, 0, 640, 480, 0xFE000000u, LINE_KIND_FILLED_BOX, 0xFFFF, 0);
  EXPECT_EQ(count_not(0xFE000000u), 0);  // the alpha byte is blended too: 255 - 1
}

TEST_F(Lines, BoxOutlineBlendsItsCornersTwice) {
  draw_line(nullptr, 10, 10, 20, 15, 0x80FFFFFFu, LINE_KIND_BOX, 0xFFFF, 0);
  expect_pixels({{15, 10, 0xBF7F7F7Fu}, {10, 10, 0x9FBFBFBFu}, {15, 12, 0xFF000000u}});
  // Edges that lie on the page's own edges are drawn; edges beyond them are not.
  draw_line(nullptr, 100, 0, 110, 479, 0xFFFFFFFFu, LINE_KIND_BOX, 0xFFFF, 0);
  draw_line(nullptr, 0, 200, 639, 210, 0xFFFFFFFFu, LINE_KIND_BOX, 0xFFFF, 0);
  draw_line(nullptr, 300, -5, 310, 300, 0xFFFFFFFFu, LINE_KIND_BOX, 0xFFFF, 0);
  expect_pixels(
      {{105, 0, ~0u}, {105, 479, ~0u}, {0, 205, ~0u}, {639, 205, ~0u}, {305, 0, 0xFF000000u}});
}

TEST_F(Lines, HorizontalAndDegenerateLines) {
  draw_line(nullptr, 0, 100, 640, 100, 0xFF00FF00u, LINE_KIND_LINE, 0xFFFF, 0);
  EXPECT_EQ(count_not(0xFF000000u), 640);
  draw_line(nullptr, 33, 200, 33, 200, 0xFF0000FFu, LINE_KIND_LINE, 0xFFFF, 0);
  EXPECT_EQ(count_not(0xFF000000u), 641);
  draw_line(nullptr, -50, 10, -1, 300, 0xFFFFFFFFu, LINE_KIND_LINE, 0xFFFF, 0);
  EXPECT_EQ(count_not(0xFF000000u), 641);
  EXPECT_EQ(current_screen()->lock_count, 0);
}

TEST_F(Lines, SlopedLinesClipByTruncationAndKeepBresenhamEnds) {
  draw_line(nullptr, -10, 0, 10, 5, 0xFFFFFFFFu, LINE_KIND_LINE, 0xFFFF, 0);
  expect_pixels({{0, 2, ~0u}, {10, 5, ~0u}, {0, 1, 0xFF000000u}, {0, 3, 0xFF000000u}});
  draw_line(nullptr, 0, 0, 640, 480, 0xFF000000u, LINE_KIND_FILLED_BOX, 0xFFFF, 0);
  draw_line(nullptr, 300, 300, 310, 305, 0xFFFFFFFFu, LINE_KIND_LINE, 0xFFFF, 0);
  EXPECT_EQ(count_not(0xFF000000u), 11);
  expect_pixels(0xFFFFFFFFu, {{300, 300}, {310, 305}});
  // A tie (err = 0) steps the minor axis at once.
  draw_line(nullptr, 400, 400, 402, 401, 0xFF0000FFu, LINE_KIND_LINE, 0xFFFF, 0);
  expect_pixels({{401, 401, 0xFF0000FFu}, {401, 400, 0xFF000000u}});
  // Steep lines and lines crossing the whole page from outside.
  draw_line(nullptr, 50, 50, 52, 60, 0xFF00FF00u, LINE_KIND_LINE, 0xFFFF, 0);
  expect_pixels(0xFF00FF00u, {{50, 50}, {52, 60}});
  draw_line(nullptr, -1000, -700, 2000, 1500, 0xFFFF0000u, LINE_KIND_LINE, 0xFFFF, 0);
  draw_line(nullptr, 1e30f, -1e30f, -1e30f, 1e30f, 0xFFFF0000u, LINE_KIND_LINE, 0xFFFF, 0);
}

TEST_F(Lines, DashPatternStaysAnchoredAtTheFirstPoint) {
  // Pattern 0xF000: the four pixels nearest the first point, whichever way the line runs.
  draw_line(nullptr, 10, 20, 10, 2, 0xFFFFFFFFu, LINE_KIND_LINE, 0xF000, 0);
  draw_line(nullptr, 100, 5, 120, 5, 0xFFFFFFFFu, LINE_KIND_LINE, 0xF000, 0);
  // The pattern repeats every 16 pixels: 116 is lit again.
  expect_pixels(0xFFFFFFFFu, {{10, 20}, {10, 17}, {103, 5}, {116, 5}});
  expect_pixels(0xFF000000u, {{10, 16}, {104, 5}});
}

TEST_F(Lines, PlotPixelRoundsAndClips) {
  plot_pixel(nullptr, 639.4f, 0, 0xFFD0D0D0u, 4, 0);
  plot_pixel(nullptr, 639.5f, 10, 0xFFD0D0D0u, 4, 0);  // x 640: off the page, not on row 11
  plot_pixel(nullptr, -0.4f, 2, 0xFFD0D0D0u, 4, 0);
  plot_pixel(nullptr, -0.5f, 3, 0xFFD0D0D0u, 4, 0);
  expect_pixels(0xFFD0D0D0u, {{639, 0}, {0, 2}});
  EXPECT_EQ(count_not(0xFF000000u), 2);
  plot_pixel(nullptr, 5, 5, 0x80FFFFFFu, 4, 0);                    // translucent: blended
  plot_pixel(nullptr, 6, 6, 0x12345678u, MODE_DEFAULT_COLOUR, 1);  // background colour
  plot_pixel(nullptr, 7, 7, 0x12345678u, MODE_DEFAULT_COLOUR, 0);  // foreground colour
  expect_pixels({{5, 5, 0xBF7F7F7Fu}, {6, 6, 0xFF000000u}, {7, 7, 0xFFFFFFFFu}});
}

}  // namespace
