#include "platform/retrace_pacer.h"

#include <gtest/gtest.h>

namespace {
constexpr int64_t kMs = 1000000;

TEST(RetracePacer, Periods) {
  for (int rate : {60, 0, -1}) EXPECT_EQ(refresh_period_ns(rate), 16666667) << rate;
  EXPECT_EQ(refresh_period_ns(75), 13333333);
}

TEST(RetracePacer, DeadlinesStayOnOneGridWhateverTheCallTime) {
  RetracePacer pacer{10 * kMs};
  const int64_t start = 1000 * kMs;
  EXPECT_EQ(next_retrace_ns(pacer, start), start + 10 * kMs);
  // Frames that take varying time inside one period do not move the grid.
  int64_t now = start + 10 * kMs;
  for (int frame = 2; frame <= 100; ++frame) {
    now += (frame % 3) * kMs;
    const int64_t deadline = next_retrace_ns(pacer, now);
    ASSERT_EQ(deadline, start + frame * 10 * kMs);
    now = deadline;
  }
}

TEST(RetracePacer, LateCallSkipsToTheNextDeadlineAheadWithoutBursting) {
  RetracePacer pacer{10 * kMs};
  EXPECT_EQ(next_retrace_ns(pacer, 0), 10 * kMs);
  // A frame that overran by 25 ms waits for the next grid point, not for the missed ones.
  EXPECT_EQ(next_retrace_ns(pacer, 35 * kMs), 40 * kMs);
  EXPECT_EQ(next_retrace_ns(pacer, 41 * kMs), 50 * kMs);
  // Exactly on a missed deadline: no wait.
  EXPECT_EQ(next_retrace_ns(pacer, 60 * kMs), 60 * kMs);
  // A clock that jumped back starts a fresh grid.
  EXPECT_EQ(next_retrace_ns(pacer, 30 * kMs), 40 * kMs);
}
}  // namespace
