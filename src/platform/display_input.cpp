#include "platform/display_input.h"

#include <poll.h>

#include "platform/x11_functions.h"

DisplayInput watch_display_input(SDL_Window* window) {
  DisplayInput input;
  void* display = x11_display_of(window);
  auto connection = reinterpret_cast<int (*)(void*)>(x11_function("XConnectionNumber"));
  auto queued = reinterpret_cast<int (*)(void*, int)>(x11_function("XEventsQueued"));
  if (display == nullptr || connection == nullptr || queued == nullptr) return input;
  input.display = display;
  input.fd = connection(display);
  input.events_queued = queued;
  return input;
}

bool display_input_pending(const DisplayInput& input) {
  if (input.display == nullptr || input.fd < 0) return true;
  constexpr int kQueuedAlready = 0;  // count what was read, read nothing
  if (input.events_queued(input.display, kQueuedAlready) > 0) return true;
  pollfd connection = {input.fd, POLLIN, 0};
  return poll(&connection, 1, 0) != 0;  // readable, or an error the pump should see
}
