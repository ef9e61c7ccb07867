#include "platform/sdl/renderer_choice.h"

#include <SDL2/SDL.h>

#include <cstring>
#include <initializer_list>

#include "platform/x11/x11_functions.h"

namespace {

// An X server offers direct rendering to OpenGL through Mesa's DRI3 or DRI2, or NVIDIA's own
// extension. Any other display is assumed to have it.
bool renders_directly(SDL_Window* window) {
  const X11Window x11 = x11_window_of(window);
  const X11Functions* x = x11_functions();
  if (x11.display == nullptr || x == nullptr) return true;
  for (const char* name : {"DRI3", "DRI2", "NV-GLX"}) {
    int opcode = 0, event = 0, error = 0;
    if (x->query_extension(x11.display, name, &opcode, &event, &error)) return true;
  }
  return false;
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
