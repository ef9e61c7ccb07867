#include "platform/sdl/screen_saver.h"

#include <SDL2/SDL.h>

#include "platform/x11/x11_functions.h"

namespace {

// Suspension came with version 1.1 of the extension.
bool can_suspend(const XssFunctions* xss, void* display) {
  int event_base = 0, error_base = 0, major = 0, minor = 0;
  return xss != nullptr && xss->query_extension(display, &event_base, &error_base) &&
         xss->query_version(display, &major, &minor) && (major > 1 || (major == 1 && minor >= 1));
}

}  // namespace

void hold_off_screen_saver(ScreenSaverHold& hold, SDL_Window* window) {
  SDL_DisableScreenSaver();
  hold.sdl_disabled = true;
  const X11Window x11 = x11_window_of(window);
  const X11Functions* x = x11_functions();
  const XssFunctions* xss = xss_functions();
  if (x11.display == nullptr || x == nullptr || !can_suspend(xss, x11.display)) return;
  xss->suspend(x11.display, 1);
  x->flush(x11.display);
  hold.display = x11.display;
}

void restore_screen_saver(ScreenSaverHold& hold) {
  if (hold.display != nullptr) {
    xss_functions()->suspend(hold.display, 0);
    x11_functions()->flush(hold.display);
  }
  if (hold.sdl_disabled) SDL_EnableScreenSaver();
  hold = ScreenSaverHold{};
}
