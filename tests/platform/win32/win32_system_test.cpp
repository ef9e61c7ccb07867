// Where Windows differs: window messages wake the window thread (names in UTF-8 with '/' are
// checked on the program, which finds its data in a Cyrillic folder under Wine).
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/wake_signal.h"

namespace {

TEST(Win32WakeSignal, WakesForItsSignalForAQueuedMessageAndAtTheTimeout) {
  WakeSignal signal;
  ASSERT_TRUE(open_wake_signal(signal));
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // gives this thread its message queue
  EXPECT_EQ(wait_for_wake(signal, -1, 10), WOKEN_TIMEOUT);
  raise_wake_signal(signal);
  raise_wake_signal(signal);  // twice before the wait: one wake
  EXPECT_EQ(wait_for_wake(signal, -1, 1000), WOKEN_RAISED);
  EXPECT_EQ(wait_for_wake(signal, -1, 0), WOKEN_TIMEOUT);
  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER, 0, 0));
  EXPECT_EQ(wait_for_wake(signal, -1, 1000), WOKEN_INPUT);
  // Still queued, not taken: the next wait sees it at once rather than sleeping past it.
  EXPECT_EQ(wait_for_wake(signal, -1, 1000), WOKEN_INPUT);
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
  EXPECT_EQ(wait_for_wake(signal, -1, 0), WOKEN_TIMEOUT);
  close_wake_signal(signal);
}

}  // namespace
