#pragma once
// The screen saver held off while the window exists, and the earlier setting put back after.
struct SDL_Window;

struct ScreenSaverHold {
  void* display = nullptr;  // the X connection whose setting was changed; null: none changed
  int timeout = 0;
  int interval = 0;
  int prefer_blanking = 0;
  int allow_exposures = 0;
  bool sdl_disabled = false;
};

// After the window exists: SDL's inhibition (through the desktop's session bus where there is
// one) and, on X, the server's own screen-saver timeout set to 0.
void hold_off_screen_saver(ScreenSaverHold& hold, SDL_Window* window);
// Before the window goes: the setting found at hold_off_screen_saver.
void restore_screen_saver(ScreenSaverHold& hold);
