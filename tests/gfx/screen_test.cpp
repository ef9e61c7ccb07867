#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <vector>

#include "gfx/draw_context.h"
#include "gfx/keys.h"
#include "gfx/null_screen.h"
#include "gfx/primitives.h"

namespace {

TEST(ScreenMode, RejectsBadDepthNormalisesTheRestAndKeepsOrDropsFlags) {
  force_display_driver("Null");
  EXPECT_EQ(set_screen_mode(640, 480, 12, 2, 0xC0, 0), 1);
  EXPECT_EQ(current_screen(), nullptr);
  EXPECT_EQ(set_screen_mode(0, 480, 32, 2, 0xC0, 0), 1);
  ASSERT_EQ(set_screen_mode(64, 48, 24, 0, 0xC0, 0), 0);
  EXPECT_EQ(current_screen()->depth, 32);
  EXPECT_EQ(current_screen()->page_count(), 1);
  EXPECT_EQ(current_screen()->flags & ~SCREEN_FLAG_MMX, SCREEN_FLAG_BLENDED | SCREEN_FLAG_BOOST);
  ASSERT_EQ(set_screen_mode(64, 48, 15, 2, 0xC0, 0), 0);
  EXPECT_EQ(current_screen()->pitch, 128);
  EXPECT_EQ(set_screen_mode(64, 48, 7, 2, 0xC0, 0), 1);  // leaves the open screen as it was
  EXPECT_EQ(current_screen()->depth, 16);
  force_display_driver(nullptr);
  ASSERT_EQ(set_screen_mode(64, 48, 32, 2, -1, 0), 0);  // the Null back end, unforced
  EXPECT_EQ(current_screen()->flags, 0u);
  EXPECT_EQ(current_screen()->driver, &NullDisplayDriver);
  shutdown_screen();
  EXPECT_EQ(wait_vsync(), 1);
  EXPECT_EQ(copy_page(0, 1), 1);
}

// A back end that only counts how deep the presenter lock is held.
int g_presenter_locks = 0;
const DisplayDriver kCountingDriver = {
    "Counting",
    [](const char*, int, int, int, int, int, const DisplayView*) { return 0; },
    [] {},
    [] { ++g_presenter_locks; },
    [] { --g_presenter_locks; },
    nullptr};

TEST(ScreenLock, OnlyTheOutermostLevelTakesThePresenterLockAndMarksTheShownPage) {
  force_display_driver_table(&kCountingDriver);
  ASSERT_EQ(set_screen_mode(64, 48, 32, 2, 0xC0, 0), 0);
  NullScreen::clear_dirty();
  lock_screen();
  lock_screen();
  EXPECT_EQ(g_presenter_locks, 1);
  unlock_screen(5, 2);  // an empty range marks nothing
  EXPECT_EQ(g_presenter_locks, 1);
  EXPECT_EQ(NullScreen::dirty_count(), 0);
  unlock_screen(-1, -1);  // work page 0 is shown: every line
  EXPECT_EQ(g_presenter_locks, 0);
  EXPECT_EQ(NullScreen::dirty_count(), 48);
  unlock_screen(1, 0);  // one unlock too many is ignored
  draw_line(nullptr, 0, 0, 63, 47, 0x80FFFFFFu, LINE_KIND_LINE, 0xFFFF, 0);
  EXPECT_EQ(g_presenter_locks, 0);
  lock_screen();
  shutdown_screen();  // a lock still held is released before the back end stops
  EXPECT_EQ(g_presenter_locks, 0);
  force_display_driver(nullptr);
}

using Screen640 = NullScreen;

TEST_F(Screen640, KeyDownReadsHeldKeysAndNothingOutsideTheTable) {
  current_screen()->key_state[56] = 1;
  EXPECT_EQ(key_down(56), -1);
  EXPECT_EQ(key_down(62), 0);
  // Below the table lie other fields of the screen, which need not be 0.
  for (int scan = -300; scan < 0; ++scan) ASSERT_EQ(key_down(scan), 0) << scan;
  for (int scan : {128, INT_MIN, INT_MAX}) EXPECT_EQ(key_down(scan), 0) << scan;
  shutdown_screen();
  EXPECT_EQ(key_down(56), 0);
}

TEST_F(Screen640, ShowingAnotherPageMarksAllOfIt) {
  clear_dirty();
  EXPECT_EQ(set_pages(0, 1), 0);  // previous: visible 0, work 0
  EXPECT_EQ(dirty_count(), 480);
  clear_dirty();
  EXPECT_EQ(set_pages(0, 1), 256);  // page 1 already shown: nothing marked
  lock_screen();
  unlock_screen(-1, -1);  // drawing on page 0 while page 1 is shown marks nothing
  EXPECT_EQ(dirty_count(), 0);
  EXPECT_EQ(set_pages(-1, -1), 256);
  EXPECT_EQ(current_screen()->visible_index, 0);
  EXPECT_EQ(draw_context().work_page, 0);
  EXPECT_EQ(set_pages(7, 9), 0);  // out of range: nothing changes
  EXPECT_EQ(current_screen()->visible_index, 0);
}

TEST_F(Screen640, CopyPageMarksOnlyWhenItTookTheLock) {
  set_pages(0, 1);
  pixel(0, 639, 479) = 0xFF123456u;
  EXPECT_EQ(copy_page(0, 0), 0);
  EXPECT_EQ(copy_page(0, 2), 1);
  EXPECT_EQ(pixel(1, 639, 479), 0xFF000000u);
  clear_dirty();
  lock_screen();
  EXPECT_EQ(copy_page(0, 1), 0);  // inside a held lock: copied, nothing marked
  EXPECT_EQ(pixel(1, 639, 479), 0xFF123456u);
  EXPECT_EQ(dirty_count(), 0);
  unlock_screen(1, 0);
  EXPECT_EQ(copy_page(0, 1), 0);
  EXPECT_EQ(dirty_count(), 480);
  EXPECT_EQ(current_screen()->lock_count, 0);
}

// Half away from zero, computed without float error; non-numbers far off the page on their side.
TEST_F(Screen640, CoordinatesRoundAndTheirModesMoveTheLastPoint) {
  DrawContext& ctx = draw_context();
  const float inf = std::numeric_limits<float>::infinity();
  const float rounded[][2] = {{639.5f, 640}, {-0.5f, -1},     {2.5f, 3},   {0.5f, 1},
                              {-0.4f, 0},    {639.4f, 639},   {-2.5f, -3}, {0.49999997f, 0},
                              {NAN, -1e6f},  {-3e38f, -1e6f}, {inf, 1e6f}, {3e38f, 1e6f}};
  for (const auto& [f, want] : rounded) {
    int x, y;
    to_pixel_coords(ctx, f, -f, x, y);
    if (std::abs(want) < 1e6f)
      EXPECT_EQ(std::vector<int>({x, y}), std::vector<int>({int(want), int(-want)})) << f;
    else
      EXPECT_TRUE(std::abs(x) > 100000 && (x > 0) == (want > 0)) << f << " to " << x;
  }
  // Mode 1: second point relative to the first; 2: relative to the last point; 3: both; 4: none.
  float x1 = 10, y1 = 20, x2 = 5, y2 = 6, px = 1, py = 2, a = 1, b = 1, c = 2, d = 2, e = 4, f = 4;
  apply_coord_mode(ctx, 1, x1, y1, &x2, &y2);
  apply_coord_mode(ctx, 2, px, py);
  apply_coord_mode(ctx, 3, a, b, &c, &d);
  EXPECT_EQ(std::vector<float>({x2, y2, px, py, a, b, c, d, ctx.last_x}),
            std::vector<float>({15, 26, 16, 28, 17, 29, 19, 31, 19}));
  apply_coord_mode(ctx, 4, e, f);
  EXPECT_EQ(std::vector<float>({e, f, ctx.last_x, ctx.last_y}), std::vector<float>({4, 4, 4, 4}));
}

}  // namespace
