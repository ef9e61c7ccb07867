#pragma once
// Deadlines one display refresh apart on a steady clock, for back ends that cannot wait for the
// vertical blank itself. The deadlines stay on one grid, so frames neither drift nor come in
// bursts; a caller that misses deadlines resumes at the next one still ahead.
#include <cstdint>

struct RetracePacer {
  int64_t period_ns = 0;
  int64_t next_ns = 0;
  bool started = false;
};

// Period of one refresh at the given rate; 60 Hz when the rate is unknown (0 or less).
int64_t refresh_period_ns(int refresh_rate);

// The next deadline for a wait that begins at now_ns; the pacer moves on to it.
int64_t next_retrace_ns(RetracePacer& pacer, int64_t now_ns);
