// The intro: opens its window, plays its music and draws its effects until asked to close.
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "intro/sequencer.h"
#include "platform/display_driver.h"
#include "platform/session_bus.h"
#include "platform/timing.h"

int main() {
  choose_session_bus();
  // The clock's whole seconds, low 32 bits, so every run's starfield differs.
  const double now = timer_seconds();
  const auto seed = static_cast<uint32_t>(static_cast<uint64_t>(std::trunc(now > 0 ? now : 0)));
  if (start_intro(seed, true) != 0) {
    std::fprintf(stderr, "intro: cannot open the window: %s\n", display_error());
    return 1;
  }
  while (run_frame()) {
  }
  return 0;
}
