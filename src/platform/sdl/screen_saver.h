#pragma once
// The screen saver held off while the window exists, in ways that end with the process: nothing
// the server keeps after the intro's connection closes, however the process ends.
struct SDL_Window;

struct ScreenSaverHold {
  void* display = nullptr;  // the X connection that suspended the server's screen saver
  bool sdl_disabled = false;
};

// After the window exists: SDL's inhibition (through the desktop's session bus where there is
// one) and, on X, the ScreenSaver extension's suspension, which the server lifts by itself when
// the connection closes.
void hold_off_screen_saver(ScreenSaverHold& hold, SDL_Window* window);
// Before the window goes: both lifted.
void restore_screen_saver(ScreenSaverHold& hold);
