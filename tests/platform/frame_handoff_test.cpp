#include "platform/frame_handoff.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The drawing side's shared picture: a frame number under a lock standing in for the presenter
// lock, as the window thread would copy lines under it.
struct Picture {
  std::mutex lock;
  int frame = 0;
  bool fresh = false;  // set with each new frame, cleared when the window side fetches it
};

// A window thread: on each frame wake it takes the lock and records the frame it finds.
std::vector<int> fetch_frames(FrameHandoff& handoff, Picture& picture, int& frame_wakes) {
  std::vector<int> seen;
  for (;;) {
    const int wake = handoff_wait(handoff, -1, 50);
    if (wake & WAKE_STOP) return seen;
    if (!(wake & WAKE_FRAME)) continue;
    ++frame_wakes;
    std::lock_guard<std::mutex> lock(picture.lock);
    handoff_fetched(handoff);
    if (picture.fresh) seen.push_back(picture.frame);
    picture.fresh = false;
  }
}

TEST(FrameHandoff, EveryFrameArrivesOnceAndInOrder) {
  constexpr int kFrames = 5000;
  FrameHandoff handoff;
  // A limit far beyond any scheduling delay: the drawing side always waits for the fetch here.
  ASSERT_TRUE(handoff_open(handoff, 10s));
  Picture picture;
  int frame_wakes = 0;
  std::vector<int> seen;
  std::thread window([&] {
    handoff_report_start(handoff, true);
    seen = fetch_frames(handoff, picture, frame_wakes);
  });
  ASSERT_TRUE(handoff_await_start(handoff));
  int late = 0;
  for (int frame = 1; frame <= kFrames; ++frame) {
    if (!handoff_await_turn(handoff)) ++late;
    {
      std::lock_guard<std::mutex> lock(picture.lock);
      picture.frame = frame;
      picture.fresh = true;
    }
    handoff_frame_finished(handoff);
  }
  EXPECT_TRUE(handoff_await_turn(handoff));  // the last frame is fetched too
  handoff_stop(handoff);
  window.join();
  handoff_close(handoff);
  EXPECT_EQ(late, 0);
  ASSERT_EQ(seen.size(), static_cast<size_t>(kFrames));
  for (int i = 0; i < kFrames; ++i) ASSERT_EQ(seen[static_cast<size_t>(i)], i + 1);
  EXPECT_EQ(frame_wakes, kFrames);  // no frame woke the window side twice
}

TEST(FrameHandoff, DrawingSideWaitsNoLongerThanTheLimit) {
  FrameHandoff handoff;
  ASSERT_TRUE(handoff_open(handoff, 30ms));
  handoff_frame_finished(handoff);  // nobody fetches it
  const auto begin = Clock::now();
  EXPECT_FALSE(handoff_await_turn(handoff));
  const auto waited = Clock::now() - begin;
  EXPECT_GE(waited, 30ms);
  EXPECT_LT(waited, 5s);
  // The turn was given up: the next frame does not wait for the one never fetched.
  EXPECT_TRUE(handoff_await_turn(handoff));
  handoff_close(handoff);
}

TEST(FrameHandoff, WakesForFramesStopAndInputButNotForNothing) {
  FrameHandoff handoff;
  ASSERT_TRUE(handoff_open(handoff, 2ms));
  EXPECT_EQ(handoff_wait(handoff, -1, 0), WAKE_CEILING);
  handoff_frame_finished(handoff);
  handoff_frame_finished(handoff);  // two before the window side looked: one wake
  EXPECT_EQ(handoff_wait(handoff, -1, 1000), WAKE_FRAME);
  EXPECT_EQ(handoff_wait(handoff, -1, 0), WAKE_CEILING);

  int input[2];
  ASSERT_EQ(pipe(input), 0);
  ASSERT_EQ(write(input[1], "x", 1), 1);
  EXPECT_EQ(handoff_wait(handoff, input[0], 1000), WAKE_INPUT);
  close(input[0]);
  close(input[1]);

  handoff_stop(handoff);
  EXPECT_EQ(handoff_wait(handoff, -1, 1000) & WAKE_STOP, WAKE_STOP);
  handoff_frame_finished(handoff);  // after stop: no frame, no wait for a fetch
  EXPECT_EQ(handoff_wait(handoff, -1, 0) & WAKE_FRAME, 0);
  EXPECT_TRUE(handoff_await_turn(handoff));
  handoff_close(handoff);
}

TEST(FrameHandoff, CeilingEndsAnIdleWait) {
  FrameHandoff handoff;
  ASSERT_TRUE(handoff_open(handoff, 2ms));
  const auto begin = Clock::now();
  EXPECT_EQ(handoff_wait(handoff, -1, 40), WAKE_CEILING);
  EXPECT_GE(Clock::now() - begin, 35ms);
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
      for (;;) {
        const int wake = handoff_wait(handoff, -1, 50);
        if (wake & WAKE_STOP) break;
        handoff_fetched(handoff);
      }
      stopped_seen = true;
    });
    const bool started = handoff_await_start(handoff);
    EXPECT_EQ(started, opened);
    if (started) {
      // Frames and the stop at once, sometimes before the window side first waits.
      for (int i = 0; i < round % 4; ++i) {
        handoff_await_turn(handoff);
        handoff_frame_finished(handoff);
      }
      handoff_stop(handoff);
    }
    window.join();
    EXPECT_EQ(stopped_seen.load(), opened);
    // A refused start leaves nothing running: frames finished now wake nobody.
    handoff_frame_finished(handoff);
    EXPECT_TRUE(handoff_await_turn(handoff));
    handoff_close(handoff);
  }
}

}  // namespace
