#include "platform/wake_signal.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

bool open_wake_signal(WakeSignal& signal) {
  const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  signal.handle = fd;
  return fd >= 0;
}

void close_wake_signal(WakeSignal& signal) {
  if (signal.handle >= 0) close(static_cast<int>(signal.handle));
  signal.handle = -1;
}

void raise_wake_signal(const WakeSignal& signal) {
  const uint64_t one = 1;
  (void)!write(static_cast<int>(signal.handle), &one, sizeof one);
}

int wait_for_wake(const WakeSignal& signal, int input_fd, int timeout_ms) {
  pollfd watched[2] = {{static_cast<int>(signal.handle), POLLIN, 0}, {input_fd, POLLIN, 0}};
  const int ready = poll(watched, input_fd >= 0 ? 2 : 1, timeout_ms);
  if (ready == 0) return WOKEN_TIMEOUT;
  if (ready < 0) return 0;
  int woken = 0;
  if (input_fd >= 0 && watched[1].revents != 0) woken |= WOKEN_INPUT;
  if (watched[0].revents != 0) {
    uint64_t count = 0;
    (void)!read(static_cast<int>(signal.handle), &count, sizeof count);
    woken |= WOKEN_RAISED;
  }
  return woken;
}
