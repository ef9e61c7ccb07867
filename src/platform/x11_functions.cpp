#include "platform/x11_functions.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <dlfcn.h>

void* x11_function(const char* name) {
  void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
  if (x11 == nullptr) return nullptr;
  void* function = dlsym(x11, name);
  dlclose(x11);  // only drops this reference: SDL's keeps the library, and the pointer, valid
  return function;
}

void* x11_display_of(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
  return info.info.x11.display;
}
