// Without threads nobody raises the signal from elsewhere: it is a flag that the one thread sets
// and clears, and a wait that finds it clear pauses (yielding to the browser) for its timeout.
#include "platform/wake_signal.h"

#include "platform/this_thread.h"

namespace {
bool raised = false;
}  // namespace

bool open_wake_signal(WakeSignal& signal) {
  signal.handle = 0;
  raised = false;
  return true;
}

void close_wake_signal(WakeSignal& signal) {
  signal.handle = -1;
  raised = false;
}

void raise_wake_signal(const WakeSignal&) {
  raised = true;
}

int wait_for_wake(const WakeSignal&, int, int timeout_ms) {
  if (!raised) {
    pause_this_thread(timeout_ms);
    return WOKEN_TIMEOUT;
  }
  raised = false;
  return WOKEN_RAISED;
}
