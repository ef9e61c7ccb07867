#include "platform/window_start.h"

namespace {
WindowStart current;
}  // namespace

void set_window_start(const WindowStart& start) {
  current = start;
  if (current.scale < 1) current.scale = 1;
}

const WindowStart& window_start() {
  return current;
}
