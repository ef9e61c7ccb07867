#pragma once
// What a thread asks of the system for itself: a name, a priority, and pauses as exact as the
// system allows (a frame at 60 Hz has no room for a 15 ms timer tick).
#include <cstdint>

// Shown by profilers and debuggers; at most 15 characters.
void name_this_thread(const char* name);

// Above normal priority while raised; where the system refuses, the thread stays as it is.
void raise_this_thread(bool raised);

// Sleeps at least ms milliseconds.
void pause_this_thread(int ms);

// Sleeps until the steady clock (std::chrono::steady_clock, in nanoseconds) reaches deadline_ns.
void pause_this_thread_until(int64_t deadline_ns);
