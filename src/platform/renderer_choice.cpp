#include "platform/renderer_choice.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <dlfcn.h>

#include <cstring>
#include <initializer_list>

namespace {

// An X server offers direct rendering to OpenGL through Mesa's DRI3 or DRI2, or NVIDIA's own
// extension. Any other display is assumed to have it.
bool renders_directly(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return true;
  // SDL loads the X library itself; the program does not link it.
  void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
  if (x11 == nullptr) return true;
  using QueryExtension = int (*)(Display*, const char*, int*, int*, int*);
  auto query = reinterpret_cast<QueryExtension>(dlsym(x11, "XQueryExtension"));
  bool direct = query == nullptr;
  for (const char* name : {"DRI3", "DRI2", "NV-GLX"}) {
    int opcode = 0, event = 0, error = 0;
    if (query != nullptr && query(info.info.x11.display, name, &opcode, &event, &error))
      direct = true;
  }
  dlclose(x11);
  return direct;
}

}  // namespace

bool picture_through_renderer(SDL_Window* window) {
  const char* named = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
  const bool user_named = named != nullptr && *named != 0;
  const bool through_renderer = user_named || renders_directly(window);
  // The window surface (SDL's software renderer draws into one too) in shared memory.
  if (!through_renderer || (user_named && std::strcmp(named, "software") == 0))
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  return through_renderer;
}
