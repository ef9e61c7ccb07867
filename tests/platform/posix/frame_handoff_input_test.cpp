#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

#include "platform/frame_handoff.h"

namespace {

using namespace std::chrono_literals;

// The window system's connection wakes the window thread as a finished frame does.
TEST(FrameHandoff, WakesForInputOnTheConnection) {
  FrameHandoff handoff;
  ASSERT_TRUE(handoff_open(handoff, 30ms));
  int input[2];
  ASSERT_EQ(pipe(input), 0);
  EXPECT_EQ(handoff_wait(handoff, input[0], 10), WAKE_CEILING);
  ASSERT_EQ(write(input[1], "x", 1), 1);
  EXPECT_EQ(handoff_wait(handoff, input[0], 1000), WAKE_INPUT);
  handoff_frame_finished(handoff);
  EXPECT_EQ(handoff_wait(handoff, input[0], 1000), WAKE_INPUT | WAKE_FRAME);
  close(input[0]);
  close(input[1]);
  handoff_close(handoff);
}

}  // namespace
