#pragma once

#include <chrono>
#include <cstdint>

// The monotonic clock in nanoseconds, the one time base of deadlines and audio stamps.
inline int64_t steady_now_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
