#include "platform/display_input.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <dlfcn.h>
#include <poll.h>

DisplayInput watch_display_input(SDL_Window* window) {
  DisplayInput input;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return input;
  // SDL loads the X library itself; the program does not link it.
  void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
  if (x11 == nullptr) return input;
  using ConnectionNumber = int (*)(Display*);
  auto connection = reinterpret_cast<ConnectionNumber>(dlsym(x11, "XConnectionNumber"));
  auto queued = reinterpret_cast<int (*)(void*, int)>(dlsym(x11, "XEventsQueued"));
  if (connection != nullptr && queued != nullptr) {
    input.display = info.info.x11.display;
    input.fd = connection(info.info.x11.display);
    input.events_queued = queued;
  }
  dlclose(x11);  // still loaded by SDL: the pointers stay valid
  return input;
}

bool display_input_pending(const DisplayInput& input) {
  if (input.display == nullptr || input.fd < 0) return true;
  constexpr int kQueuedAlready = 0;  // count what was read, read nothing
  if (input.events_queued(input.display, kQueuedAlready) > 0) return true;
  pollfd connection = {input.fd, POLLIN, 0};
  return poll(&connection, 1, 0) != 0;  // readable, or an error the pump should see
}
