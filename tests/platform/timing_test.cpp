#include "platform/timing.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/keyboard.h"
#include "platform/retrace_pacer.h"

namespace {
std::vector<int> pauses;
int hit_checks = 0;
int hit_on_check = 0;  // the check that finds a key hit; 0 for none

void record_pause(int ms) {
  pauses.push_back(ms);
}
int fake_take_hit() {
  return ++hit_checks == hit_on_check ? 1 : 0;
}

TEST(SleepSlices, LongWaitsGoInSlicesThatAKeyHitEnds) {
  // clang-format off
  const struct {
    int ms, hit_on_check;
    std::vector<int> pauses;
    int checks;
  } cases[] = {
      // A key hit before a long wait ends it at once, a short one sleeps once and leaves the flag
      // alone; nothing to wait at 0 or below, but -1 waits for a key.
      {175, 0, {50, 50, 50, 25}, 3}, {100, 0, {50, 50}, 1}, {120, 1, {}, 1}, {99, 1, {99}, 0},
      {0, 1, {}, 0}, {-5, 1, {}, 0}, {-1, 3, {50, 50}, 3}};
  // clang-format on
  for (const auto& c : cases) {
    pauses.clear();
    hit_checks = 0;
    hit_on_check = c.hit_on_check;
    sleep_in_slices(c.ms, record_pause, fake_take_hit);
    EXPECT_EQ(pauses, c.pauses) << c.ms;
    EXPECT_EQ(hit_checks, c.checks) << c.ms;
  }
}

// A key already hit ends the wait at once and is taken; else the timer sees the whole wait.
TEST(SleepMs, AKeyHitEndsTheWaitAndWithoutOneTheTimerSeesItWhole) {
  reset_keyboard();
  push_key('k');
  double before = timer_seconds();
  sleep_ms(500);
  EXPECT_LT(timer_seconds() - before, 0.4);
  EXPECT_EQ(take_key_hit(), 0);
  reset_keyboard();
  before = timer_seconds();
  sleep_ms(20);
  EXPECT_GE(timer_seconds() - before, 0.019);
}

// Periods are rounded (60 Hz also for rates not known); deadlines stay on one grid whatever the
// call time; a late call skips to the next point ahead, one exactly on a missed point does not
// wait, and a clock that jumped back starts a fresh grid.
TEST(RetracePacer, DeadlinesStayOnOneGridAndALateCallSkipsAhead) {
  constexpr int64_t kMs = 1000000;
  for (int rate : {60, 0, -1}) EXPECT_EQ(refresh_period_ns(rate), 16666667) << rate;
  EXPECT_EQ(refresh_period_ns(75), 13333333);
  RetracePacer pacer{10 * kMs};
  const int64_t start = 1000 * kMs;
  EXPECT_EQ(next_retrace_ns(pacer, start), start + 10 * kMs);
  int64_t now = start + 10 * kMs;
  for (int frame = 2; frame <= 100; ++frame) {
    now += (frame % 3) * kMs;
    ASSERT_EQ(now = next_retrace_ns(pacer, now), start + frame * 10 * kMs);
  }
  pacer = RetracePacer{10 * kMs};
  const int64_t calls[][2] = {{0, 10}, {35, 40}, {41, 50}, {60, 60}, {30, 40}};
  for (const auto& [at, deadline] : calls)
    EXPECT_EQ(next_retrace_ns(pacer, at * kMs), deadline * kMs) << at;
}

}  // namespace
