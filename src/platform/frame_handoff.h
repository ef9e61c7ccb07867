#pragma once
// How a finished frame passes from the drawing thread to the window thread. The window thread
// sleeps until a frame is finished, the window system sends something or a ceiling passes. The
// drawing thread, having finished a frame, lets the window thread take the presenter lock first,
// for a limited time, so the frame reaches the window before the next one is copied over it.
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/wake_signal.h"

struct FrameHandoff {
  std::mutex mutex;
  std::condition_variable window_side_moved;  // start reported, or a frame fetched
  WakeSignal wake;  // what the window thread sleeps on: raised for a frame and for stop
  std::chrono::milliseconds turn_limit{0};
  bool running = false;
  bool started = false;       // the window thread reported a window
  bool ended = false;         // the window thread gave up before that
  bool frame_ready = false;   // a frame was finished and the window thread not woken for it yet
  bool turn_pending = false;  // a frame was finished and not yet fetched under the lock
};

// Why handoff_wait returned, as bits.
constexpr int WAKE_FRAME = 0x1;
constexpr int WAKE_INPUT = 0x2;
constexpr int WAKE_CEILING = 0x4;
constexpr int WAKE_STOP = 0x8;

// Before the window thread starts. False when the system has no wake-up descriptor to spare.
bool handoff_open(FrameHandoff& handoff, std::chrono::milliseconds turn_limit);
// After the window thread has ended.
void handoff_close(FrameHandoff& handoff);

// Window thread: reports whether the window could be opened.
void handoff_report_start(FrameHandoff& handoff, bool opened);
// Window thread: sleeps until a frame is finished, input_fd (-1: none) is readable, stop is asked
// for or timeout_ms passes; returns the WAKE_ bits of what happened (0 after an interruption).
int handoff_wait(FrameHandoff& handoff, int input_fd, int timeout_ms);
// Window thread, holding the presenter lock: the finished frame is being fetched.
void handoff_fetched(FrameHandoff& handoff);

// Drawing thread: waits for the window thread's report; true when the window exists.
bool handoff_await_start(FrameHandoff& handoff);
// Drawing thread, after releasing the lock over a finished frame: wakes the window thread.
void handoff_frame_finished(FrameHandoff& handoff);
// Drawing thread, before taking the presenter lock: gives the window thread up to the turn limit
// to fetch the finished frame. False when the limit passed first.
bool handoff_await_turn(FrameHandoff& handoff);
// Drawing thread: asks the window thread to end.
void handoff_stop(FrameHandoff& handoff);
