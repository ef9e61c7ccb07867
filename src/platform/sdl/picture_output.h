#pragma once
// How the window thread puts the visible page on the screen. Two routes: an SDL renderer's
// streaming texture (OpenGL on a graphics processor, or a renderer the user named), or, where
// nothing but software would render, the window's own shared-memory surface, written directly.
#include <SDL2/SDL.h>

#include <cstdint>

struct PictureOutput {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;  // null on the window-surface route
  SDL_Texture* texture = nullptr;
  SDL_Surface* picture = nullptr;  // window-surface route, when lines cannot go in directly
  Uint32 pixel_format = 0;
  int width = 0;
  int height = 0;
  int row_bytes = 0;
  bool texture_locked = false;  // holds lines not yet handed to the renderer
  bool direct = false;          // the last lines went straight into the window surface
  bool stale = true;            // the window surface was replaced: every line must go again
  int first_row = -1;           // window-surface rows written and not yet shown
  int last_row = -1;
  int area_w = 0;  // the window's real size: SDL's idea of it may lag behind or run ahead, as
  int area_h = 0;  // when full screen is asked for without a window manager to grant it, or
                   // when the window manager grants it after SDL stopped waiting
  int sdl_w = 0;   // SDL's idea of the size when the real one was last asked
  int sdl_h = 0;
};

// After the window exists. False with SDL's error set when no route can be opened.
bool open_picture_output(PictureOutput& out, SDL_Window* window, Uint32 pixel_format, int width,
                         int height);
void close_picture_output(PictureOutput& out);

// Under the presenter lock: copies lines first..last of the page. False when the lines could not
// be taken this time (they stay for the next cycle).
bool receive_lines(PictureOutput& out, const uint8_t* page, int pitch, int first, int last);

// Outside the presenter lock: shows what was received, or repaints the last picture when asked.
// The picture is centred in the window and, where the window is larger, scaled by the largest
// whole factor that fits, so pixels stay square.
void show_picture(PictureOutput& out, bool repaint);

// The window may have changed size (resized, exposed): its real size is asked again. True when
// it changed, and then the whole picture must be received again.
bool picture_output_resized(PictureOutput& out);

// Where a picture of picture_w x picture_h goes in an area of area_w x area_h.
SDL_Rect picture_target(int picture_w, int picture_h, int area_w, int area_h);

// The largest scale up to `scale` at which a window of picture_w x picture_h times it fits in an
// area of area_w x area_h; 1 at the least.
int scale_that_fits(int scale, int picture_w, int picture_h, int area_w, int area_h);
