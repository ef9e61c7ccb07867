#include "platform/sdl/screen_saver.h"

#include <SDL2/SDL.h>

#include "platform/sdl/x11_functions.h"

void hold_off_screen_saver(ScreenSaverHold& hold, SDL_Window* window) {
  SDL_DisableScreenSaver();
  hold.sdl_disabled = true;
  const X11Window x11 = x11_window_of(window);
  const X11Functions* x = x11_functions();
  if (x11.display == nullptr || x == nullptr) return;
  x->get_screen_saver(x11.display, &hold.timeout, &hold.interval, &hold.prefer_blanking,
                      &hold.allow_exposures);
  x->set_screen_saver(x11.display, 0, hold.interval, hold.prefer_blanking, hold.allow_exposures);
  x->flush(x11.display);
  hold.display = x11.display;
}

void restore_screen_saver(ScreenSaverHold& hold) {
  if (hold.display != nullptr) {
    const X11Functions* x = x11_functions();
    x->set_screen_saver(hold.display, hold.timeout, hold.interval, hold.prefer_blanking,
                        hold.allow_exposures);
    x->flush(hold.display);
  }
  if (hold.sdl_disabled) SDL_EnableScreenSaver();
  hold = ScreenSaverHold{};
}
