#include "platform/wake_signal.h"

#include <windows.h>

namespace {
HANDLE event_of(const WakeSignal& signal) {
  return reinterpret_cast<HANDLE>(signal.handle);
}
}  // namespace

bool open_wake_signal(WakeSignal& signal) {
  // Auto-reset: a wait that sees it raised clears it, as reading an eventfd does.
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  signal.handle = event != nullptr ? reinterpret_cast<intptr_t>(event) : -1;
  return event != nullptr;
}

void close_wake_signal(WakeSignal& signal) {
  if (signal.handle != -1) CloseHandle(event_of(signal));
  signal.handle = -1;
}

void raise_wake_signal(const WakeSignal& signal) {
  SetEvent(event_of(signal));
}

// The window thread's windows get their input as messages in its queue: the wait covers them,
// including those already in the queue but not yet taken (MWMO_INPUTAVAILABLE).
int wait_for_wake(const WakeSignal& signal, int, int timeout_ms) {
  HANDLE event = event_of(signal);
  const DWORD result = MsgWaitForMultipleObjectsEx(1, &event, static_cast<DWORD>(timeout_ms),
                                                   QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  if (result == WAIT_OBJECT_0) return WOKEN_RAISED;
  if (result == WAIT_OBJECT_0 + 1) return WOKEN_INPUT;
  if (result == WAIT_TIMEOUT) return WOKEN_TIMEOUT;
  return 0;
}
