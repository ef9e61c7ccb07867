#include "gfx/keys.h"

#include "gfx/screen.h"

int key_down(int scan_code) {
  if (static_cast<unsigned>(scan_code) > 127) return 0;
  Screen* screen = current_screen();
  if (!screen) return 0;
  lock_screen();
  const bool held = screen->key_state[scan_code] != 0;
  unlock_screen_only();
  return held ? -1 : 0;
}
