#include "platform/frame_handoff.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Each frame number, taken under a stand-in presenter lock, arrives once, in order, one wake each.
TEST(FrameHandoff, EveryFrameArrivesOnceAndInOrder) {
  constexpr int kFrames = 1000;
  FrameHandoff handoff;
  ASSERT_TRUE(handoff_open(handoff, 10s));  // far beyond any scheduling delay: never late here
  std::mutex lock;
  int frame = 0, frame_wakes = 0;
  std::vector<int> seen;
  std::thread window([&] {
    handoff_report_start(handoff, true);
    for (int wake = 0; !(wake & WAKE_STOP);) {
      wake = handoff_wait(handoff, -1, 50);
      if (!(wake & WAKE_FRAME)) continue;
      ++frame_wakes;
      std::lock_guard<std::mutex> hold(lock);
      handoff_fetched(handoff);
      if (seen.empty() || seen.back() != frame) seen.push_back(frame);
    }
  });
  ASSERT_TRUE(handoff_await_start(handoff));
  for (int next = 1; next <= kFrames; ++next) {
    EXPECT_TRUE(handoff_await_turn(handoff)) << next;
    {
      std::lock_guard<std::mutex> hold(lock);
      frame = next;
    }
    handoff_frame_finished(handoff);
  }
  EXPECT_TRUE(handoff_await_turn(handoff));  // the last frame is fetched too
  handoff_stop(handoff);
  window.join();
  handoff_close(handoff);
  ASSERT_EQ(seen.size(), static_cast<size_t>(kFrames));
  for (int i = 0; i < kFrames; ++i) ASSERT_EQ(seen[static_cast<size_t>(i)], i + 1);
  EXPECT_EQ(frame_wakes, kFrames);
}

TEST(FrameHandoff, WakesForFramesAndStopAndAnUnfetchedFrameHoldsForTheLimitOnly) {
  FrameHandoff handoff;
  ASSERT_TRUE(handoff_open(handoff, 30ms));
  auto begin = Clock::now();
  EXPECT_EQ(handoff_wait(handoff, -1, 40), WAKE_CEILING);
  EXPECT_GE(Clock::now() - begin, 35ms);
  handoff_frame_finished(handoff);
  handoff_frame_finished(handoff);  // two before the window side looked: one wake
  EXPECT_EQ(handoff_wait(handoff, -1, 1000), WAKE_FRAME);
  EXPECT_EQ(handoff_wait(handoff, -1, 0), WAKE_CEILING);
  begin = Clock::now();
  EXPECT_FALSE(handoff_await_turn(handoff));  // the window side never fetched that frame
  EXPECT_GE(Clock::now() - begin, 30ms);
  EXPECT_TRUE(handoff_await_turn(handoff));  // the turn was given up: the next frame goes on
  handoff_stop(handoff);
  EXPECT_EQ(handoff_wait(handoff, -1, 1000) & WAKE_STOP, WAKE_STOP);
  handoff_frame_finished(handoff);  // after stop: no frame, no wait for a fetch
  EXPECT_EQ(handoff_wait(handoff, -1, 0) & WAKE_FRAME, 0);
  EXPECT_TRUE(handoff_await_turn(handoff));
  handoff_close(handoff);
}

TEST(FrameHandoff, StartAndStopRaces) {
  FrameHandoff handoff;
  for (int round = 0; round < 300; ++round) {
    ASSERT_TRUE(handoff_open(handoff, 2ms));
    const bool opened = round % 3 != 0;
    std::atomic<bool> stopped_seen{false};
    std::thread window([&] {
      handoff_report_start(handoff, opened);
      if (!opened) return;
      while (!(handoff_wait(handoff, -1, 50) & WAKE_STOP)) handoff_fetched(handoff);
      stopped_seen = true;
    });
    EXPECT_EQ(handoff_await_start(handoff), opened);
    // Frames and the stop at once, sometimes before the window side first waits.
    for (int i = 0; opened && i < round % 4; ++i) {
      handoff_await_turn(handoff);
      handoff_frame_finished(handoff);
    }
    if (opened) handoff_stop(handoff);
    window.join();
    EXPECT_EQ(stopped_seen.load(), opened);
    // A refused start leaves nothing running: frames finished now wake nobody.
    handoff_frame_finished(handoff);
    EXPECT_TRUE(handoff_await_turn(handoff));
    handoff_close(handoff);
  }
}

}  // namespace
