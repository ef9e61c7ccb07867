#pragma once
// How the window starts beyond the screen's own arguments, set before the screen opens: its
// scale, its monitor, its icon and its title.
#include <cstdint>

struct WindowStart {
  int scale = 1;     // the window is scale times the screen's size, each pixel scale by scale
  int display = -1;  // monitor index; -1 (or one that does not exist): the window system's choice
  const uint32_t* icon = nullptr;  // 0xAARRGGBB pixels, icon_size by icon_size; null: none
  int icon_size = 0;
  const char* title = nullptr;  // null: the title the screen gives, the executable's name
};

void set_window_start(const WindowStart& start);
const WindowStart& window_start();
