#include "platform/frame_handoff.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace {
void wake_window_thread(const FrameHandoff& handoff) {
  const uint64_t one = 1;
  (void)!write(handoff.wake_fd, &one, sizeof one);
}
}  // namespace

bool handoff_open(FrameHandoff& handoff, std::chrono::milliseconds turn_limit) {
  handoff_close(handoff);
  const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) return false;
  std::lock_guard<std::mutex> lock(handoff.mutex);
  handoff.wake_fd = fd;
  handoff.turn_limit = turn_limit;
  handoff.running = true;
  handoff.started = handoff.ended = false;
  handoff.frame_ready = handoff.turn_pending = false;
  return true;
}

void handoff_close(FrameHandoff& handoff) {
  std::lock_guard<std::mutex> lock(handoff.mutex);
  if (handoff.wake_fd >= 0) close(handoff.wake_fd);
  handoff.wake_fd = -1;
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
  pollfd watched[2] = {{handoff.wake_fd, POLLIN, 0}, {input_fd, POLLIN, 0}};
  const int ready = poll(watched, input_fd >= 0 ? 2 : 1, timeout_ms);
  int wake = 0;
  if (ready == 0) wake |= WAKE_CEILING;
  if (ready > 0 && input_fd >= 0 && watched[1].revents != 0) wake |= WAKE_INPUT;
  if (ready > 0 && watched[0].revents != 0) {
    uint64_t count = 0;
    (void)!read(handoff.wake_fd, &count, sizeof count);
  }
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
  wake_window_thread(handoff);
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
  wake_window_thread(handoff);
}
