#include <gtest/gtest.h>

#include <vector>

#include "platform/keyboard.h"
#include "platform/timing.h"

namespace {
std::vector<int> pauses;
int hits_waiting = 0;
int hit_checks = 0;

void record_pause(int ms) {
  pauses.push_back(ms);
}
int fake_take_hit() {
  ++hit_checks;
  const int hit = hits_waiting > 0 ? 1 : 0;
  hits_waiting = 0;
  return hit;
}
void reset(int hits) {
  pauses.clear();
  hits_waiting = hits;
  hit_checks = 0;
}

TEST(SleepSlices, LongWaitsGoInFiftyMillisecondSlices) {
  reset(0);
  sleep_in_slices(175, record_pause, fake_take_hit);
  EXPECT_EQ(pauses, (std::vector<int>{50, 50, 50, 25}));
  EXPECT_EQ(hit_checks, 3);
  reset(0);
  sleep_in_slices(100, record_pause, fake_take_hit);
  EXPECT_EQ(pauses, (std::vector<int>{50, 50}));
}

TEST(SleepSlices, KeyHitBeforeALongWaitEndsItAtOnce) {
  reset(1);
  sleep_in_slices(120, record_pause, fake_take_hit);
  EXPECT_TRUE(pauses.empty());
  EXPECT_EQ(hits_waiting, 0);
}

TEST(SleepSlices, ShortWaitsSleepOnceAndIgnoreKeys) {
  reset(1);
  sleep_in_slices(99, record_pause, fake_take_hit);
  EXPECT_EQ(pauses, (std::vector<int>{99}));
  EXPECT_EQ(hit_checks, 0);
  reset(1);
  sleep_in_slices(2, record_pause, fake_take_hit);
  EXPECT_EQ(pauses, (std::vector<int>{2}));
  EXPECT_EQ(hits_waiting, 1);  // neither read nor cleared
}

TEST(SleepSlices, ZeroAndNegativeReturnAtOnce) {
  for (int ms : {0, -5, -100}) {
    reset(0);
    sleep_in_slices(ms, record_pause, fake_take_hit);
    EXPECT_TRUE(pauses.empty()) << ms;
    EXPECT_EQ(hit_checks, 0) << ms;
  }
}

TEST(SleepSlices, MinusOneWaitsForAKey) {
  // The fake reports a hit on its third check.
  static int checks;
  checks = 0;
  pauses.clear();
  sleep_in_slices(-1, record_pause, [] { return ++checks == 3 ? 1 : 0; });
  EXPECT_EQ(pauses, (std::vector<int>{50, 50}));
}

TEST(SleepMs, ReturnsAtOnceForAKeyHitWithTheRealFlag) {
  push_key('k');
  const double before = timer_seconds();
  sleep_ms(500);
  EXPECT_LT(timer_seconds() - before, 0.4);
  EXPECT_EQ(take_key_hit(), 0);
  reset_keyboard();
}

TEST(Timer, NonDecreasingAndAdvancing) {
  double last = timer_seconds();
  for (int i = 0; i < 100000; ++i) {
    const double now = timer_seconds();
    ASSERT_GE(now, last);
    last = now;
  }
  const double before = timer_seconds();
  sleep_ms(20);
  EXPECT_GE(timer_seconds() - before, 0.019);
}
}  // namespace
