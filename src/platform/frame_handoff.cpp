#include "platform/frame_handoff.h"

bool handoff_open(FrameHandoff& handoff, std::chrono::milliseconds turn_limit) {
  handoff_close(handoff);
  WakeSignal wake;
  if (!open_wake_signal(wake)) return false;
  std::lock_guard<std::mutex> lock(handoff.mutex);
  handoff.wake = wake;
  handoff.turn_limit = turn_limit;
  handoff.running = true;
  handoff.started = handoff.ended = false;
  handoff.frame_ready = handoff.turn_pending = false;
  return true;
}

void handoff_close(FrameHandoff& handoff) {
  std::lock_guard<std::mutex> lock(handoff.mutex);
  close_wake_signal(handoff.wake);
  handoff.running = false;
  handoff.frame_ready = handoff.turn_pending = false;
}

void handoff_report_start(FrameHandoff& handoff, bool opened) {
  {
    std::lock_guard<std::mutex> lock(handoff.mutex);
    (opened ? handoff.started : handoff.ended) = true;
  }
  handoff.window_side_moved.notify_all();
}

int handoff_wait(FrameHandoff& handoff, int input_fd, int timeout_ms) {
  const int woken = wait_for_wake(handoff.wake, input_fd, timeout_ms);
  int wake = 0;
  if (woken & WOKEN_TIMEOUT) wake |= WAKE_CEILING;
  if (woken & WOKEN_INPUT) wake |= WAKE_INPUT;
  std::lock_guard<std::mutex> lock(handoff.mutex);
  if (!handoff.running) wake |= WAKE_STOP;
  if (handoff.frame_ready) wake |= WAKE_FRAME;
  handoff.frame_ready = false;
  return wake;
}

void handoff_fetched(FrameHandoff& handoff) {
  {
    std::lock_guard<std::mutex> lock(handoff.mutex);
    if (!handoff.turn_pending) return;
    handoff.turn_pending = false;
  }
  handoff.window_side_moved.notify_all();
}

bool handoff_await_start(FrameHandoff& handoff) {
  std::unique_lock<std::mutex> lock(handoff.mutex);
  handoff.window_side_moved.wait(lock, [&] { return handoff.started || handoff.ended; });
  if (!handoff.started) handoff.running = false;
  return handoff.started;
}

void handoff_frame_finished(FrameHandoff& handoff) {
  {
    std::lock_guard<std::mutex> lock(handoff.mutex);
    if (!handoff.running) return;
    handoff.frame_ready = true;
    handoff.turn_pending = true;
  }
  raise_wake_signal(handoff.wake);
}

bool handoff_await_turn(FrameHandoff& handoff) {
  std::unique_lock<std::mutex> lock(handoff.mutex);
  if (!handoff.turn_pending) return true;
  const bool fetched = handoff.window_side_moved.wait_for(lock, handoff.turn_limit,
                                                          [&] { return !handoff.turn_pending; });
  handoff.turn_pending = false;
  return fetched;
}

void handoff_stop(FrameHandoff& handoff) {
  {
    std::lock_guard<std::mutex> lock(handoff.mutex);
    handoff.running = false;
    handoff.turn_pending = false;
  }
  handoff.window_side_moved.notify_all();
  raise_wake_signal(handoff.wake);
}
