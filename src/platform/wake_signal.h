#pragma once
// What the window thread sleeps on: a signal the drawing thread raises, together with the window
// system's input, so that one wait covers both.
#include <cstdint>

struct WakeSignal {
  intptr_t handle = -1;  // the system's object; -1: none
};

// Why wait_for_wake returned, as bits.
constexpr int WOKEN_RAISED = 0x1;
constexpr int WOKEN_INPUT = 0x2;
constexpr int WOKEN_TIMEOUT = 0x4;

// False when the system has no such object to spare.
bool open_wake_signal(WakeSignal& signal);
void close_wake_signal(WakeSignal& signal);

// Any thread: wakes the waiter, now or at its next wait.
void raise_wake_signal(const WakeSignal& signal);

// Sleeps until the signal is raised (which clears it), the window system has input for this
// thread (input_fd readable where the connection is a descriptor, -1: none; on systems whose
// windows get messages, a message queued) or timeout_ms passes. Returns the WOKEN_ bits, 0 after
// an interruption.
int wait_for_wake(const WakeSignal& signal, int input_fd, int timeout_ms);
