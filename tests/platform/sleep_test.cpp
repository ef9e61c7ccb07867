#include <gtest/gtest.h>

#include <vector>

#include "platform/keyboard.h"
#include "platform/timing.h"

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
  const struct {
    int ms, hit_on_check;
    std::vector<int> pauses;
    int checks;
  } cases[] = {
      {175, 0, {50, 50, 50, 25}, 3},
      {100, 0, {50, 50}, 1},
      {120, 1, {}, 1},   // a key hit before a long wait ends it at once
      {99, 1, {99}, 0},  // a short wait sleeps once and leaves the flag alone
      {0, 1, {}, 0},     // nothing to wait
      {-5, 1, {}, 0},
      {-1, 3, {50, 50}, 3},  // -1 waits for a key
  };
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
}  // namespace
