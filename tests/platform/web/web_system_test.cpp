// The browser back end, where the page has one thread: wake flag, pauses and page memory.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

#include "platform/page_memory.h"
#include "platform/this_thread.h"
#include "platform/wake_signal.h"

namespace {

int64_t now_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

TEST(WebWakeSignal, ARaiseWakesOneWaitAndAClearSignalSleepsOutItsTimeout) {
  WakeSignal signal;
  ASSERT_TRUE(open_wake_signal(signal));
  EXPECT_EQ(wait_for_wake(signal, -1, 0), WOKEN_TIMEOUT);
  raise_wake_signal(signal);
  raise_wake_signal(signal);  // twice before the wait: one wake
  EXPECT_EQ(wait_for_wake(signal, -1, 1000), WOKEN_RAISED);
  const int64_t before = now_ns();
  EXPECT_EQ(wait_for_wake(signal, -1, 20), WOKEN_TIMEOUT);
  EXPECT_GE(now_ns() - before, 19'000'000);
  raise_wake_signal(signal);
  close_wake_signal(signal);  // a raise left over does not reach the next opening
  ASSERT_TRUE(open_wake_signal(signal));
  EXPECT_EQ(wait_for_wake(signal, -1, 0), WOKEN_TIMEOUT);
  close_wake_signal(signal);
}

TEST(WebThisThread, PausesLastAtLeastWhatIsAskedAndAPassedDeadlineReturns) {
  const struct {
    int64_t from_now_ns;
    int64_t at_least_ns;
  } cases[] = {
      {15'000'000, 15'000'000},
      {1'500'000, 1'500'000},  // a part of a millisecond is rounded up, not down
      {-5'000'000, 0},         // already passed
  };
  for (const auto& c : cases) {
    const int64_t start = now_ns();
    pause_this_thread_until(start + c.from_now_ns);
    EXPECT_GE(now_ns() - start, c.at_least_ns) << c.from_now_ns;
  }
  const int64_t start = now_ns();
  pause_this_thread(10);
  EXPECT_GE(now_ns() - start, 10'000'000);
}

TEST(WebPageMemory, BlocksAreAlignedAndAWrappingSizeIsRefused) {
  for (size_t bytes : {size_t{1}, size_t{640 * 480 * 4}, size_t{3 << 20}}) {
    void* memory = allocate_page_memory(bytes);
    ASSERT_NE(memory, nullptr) << bytes;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(memory) % 64, 0u) << bytes;
    free_page_memory(memory);
  }
  EXPECT_EQ(allocate_page_memory(SIZE_MAX - 10), nullptr);
}

}  // namespace
