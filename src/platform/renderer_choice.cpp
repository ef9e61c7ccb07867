#include "platform/renderer_choice.h"

#include <SDL2/SDL.h>

#include <cstring>
#include <initializer_list>

#include "platform/x11_functions.h"

namespace {

// An X server offers direct rendering to OpenGL through Mesa's DRI3 or DRI2, or NVIDIA's own
// extension. Any other display is assumed to have it.
bool renders_directly(SDL_Window* window) {
  void* display = x11_display_of(window);
  using QueryExtension = int (*)(void*, const char*, int*, int*, int*);
  auto query = reinterpret_cast<QueryExtension>(x11_function("XQueryExtension"));
  if (display == nullptr || query == nullptr) return true;
  for (const char* name : {"DRI3", "DRI2", "NV-GLX"}) {
    int opcode = 0, event = 0, error = 0;
    if (query(display, name, &opcode, &event, &error)) return true;
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
