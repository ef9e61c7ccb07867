#include "platform/timing.h"

#include <chrono>

#include "platform/keyboard.h"
#include "platform/this_thread.h"

double timer_seconds() {
  using Seconds = std::chrono::duration<double>;
  return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void sleep_in_slices(int ms, void (*pause_ms)(int ms), int (*take_hit)()) {
  if (ms == -1) {
    while (!take_hit()) pause_ms(50);
    return;
  }
  if (ms >= 100) {
    do {
      if (take_hit()) return;
      pause_ms(50);
      ms -= 50;
    } while (ms > 50);
  }
  if (ms > 0) pause_ms(ms);
}

void sleep_ms(int ms) {
  sleep_in_slices(ms, pause_this_thread, take_key_hit);
}
