#include "platform/sdl/display_input.h"

#include "platform/x11/x11_functions.h"

DisplayInput watch_display_input(SDL_Window* window) {
  DisplayInput input;
  const X11Window x11 = x11_window_of(window);
  const X11Functions* x = x11_functions();
  if (x11.display == nullptr || x == nullptr) return input;
  input.display = x11.display;
  input.fd = x->connection_number(x11.display);
  input.events_queued = x->events_queued;
  return input;
}

bool display_input_queued(const DisplayInput& input) {
  constexpr int kQueuedAlready = 0;  // count what was read, read nothing
  return input.display != nullptr && input.events_queued(input.display, kQueuedAlready) > 0;
}
