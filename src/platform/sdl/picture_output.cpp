#include "platform/sdl/picture_output.h"

#include <algorithm>
#include <cstring>

#include "platform/sdl/renderer_choice.h"
#include "platform/x11/x11_functions.h"

namespace {

void ask_window_size(PictureOutput& out) {
  SDL_GetWindowSize(out.window, &out.sdl_w, &out.sdl_h);
  out.area_w = out.sdl_w;
  out.area_h = out.sdl_h;
  const X11Window x11 = x11_window_of(out.window);
  const X11Functions* x = x11_functions();
  if (x11.display == nullptr || x == nullptr) return;
  unsigned long root = 0;
  int x_pos = 0, y_pos = 0;
  unsigned width = 0, height = 0, border = 0, depth = 0;
  if (x->get_geometry(x11.display, x11.window, &root, &x_pos, &y_pos, &width, &height, &border,
                      &depth) != 0) {
    out.area_w = static_cast<int>(width);
    out.area_h = static_cast<int>(height);
  }
}

// The page's lines first to last into `to`, whose row 0 takes line `first`.
void copy_lines(uint8_t* to, int to_pitch, const uint8_t* page, int pitch, int first, int last,
                int row_bytes) {
  for (int y = first; y <= last; ++y) {
    std::memcpy(to + static_cast<ptrdiff_t>(y - first) * to_pitch,
                page + static_cast<ptrdiff_t>(y) * pitch, static_cast<size_t>(row_bytes));
  }
}

bool open_renderer(PictureOutput& out) {
  out.renderer = SDL_CreateRenderer(out.window, -1, SDL_RENDERER_PRESENTVSYNC);
  if (out.renderer == nullptr) out.renderer = SDL_CreateRenderer(out.window, -1, 0);
  if (out.renderer == nullptr) return false;
  out.texture = SDL_CreateTexture(out.renderer, out.pixel_format, SDL_TEXTUREACCESS_STREAMING,
                                  out.width, out.height);
  if (out.texture == nullptr) return false;
  // The alpha byte of a pixel must not show; scaling in full screen keeps pixels square.
  SDL_SetTextureBlendMode(out.texture, SDL_BLENDMODE_NONE);
  SDL_SetTextureScaleMode(out.texture, SDL_ScaleModeNearest);
  // Black until the first frame arrives: a new texture's content is undefined.
  void* pixels = nullptr;
  int pitch = 0;
  if (SDL_LockTexture(out.texture, nullptr, &pixels, &pitch) != 0) return false;
  std::memset(pixels, 0, static_cast<size_t>(pitch) * out.height);
  SDL_UnlockTexture(out.texture);
  return true;
}

// The window surface's format that takes the page's lines unchanged: the byte above red, green
// and blue is ignored, so a page pixel's alpha never shows.
Uint32 direct_format(Uint32 page_format) {
  if (page_format == SDL_PIXELFORMAT_ARGB8888) return SDL_PIXELFORMAT_RGB888;
  return page_format;
}

bool receive_into_texture(PictureOutput& out, const uint8_t* page, int pitch, int first, int last) {
  if (out.texture_locked) return false;
  const SDL_Rect rows = {0, first, out.width, last - first + 1};
  void* pixels = nullptr;
  int to_pitch = 0;
  // SDL hands out the locked rows only (Direct3D maps a texture of just those): nothing before
  // or after them is ours to write.
  if (SDL_LockTexture(out.texture, &rows, &pixels, &to_pitch) != 0) return false;
  copy_lines(static_cast<uint8_t*>(pixels), to_pitch, page, pitch, first, last, out.row_bytes);
  out.texture_locked = true;
  return true;
}

bool receive_into_surface(PictureOutput& out, const uint8_t* page, int pitch, int first, int last) {
  SDL_Surface* surface = SDL_GetWindowSurface(out.window);
  if (surface == nullptr) return false;
  // Straight into the surface where the window shows the picture 1:1 from its corner.
  const bool direct = std::min(surface->w, out.area_w) == out.width &&
                      std::min(surface->h, out.area_h) == out.height &&
                      surface->format->format == direct_format(out.pixel_format);
  if (direct != out.direct || out.stale) {
    first = 0;  // the lines held elsewhere are not in this surface
    last = out.height - 1;
    out.direct = direct;
    out.stale = false;
  }
  SDL_Surface* to = surface;
  if (!direct) {
    if (out.picture == nullptr) {
      out.picture = SDL_CreateRGBSurfaceWithFormat(0, out.width, out.height, 0,
                                                   direct_format(out.pixel_format));
      if (out.picture == nullptr) return false;
    }
    to = out.picture;
  }
  copy_lines(static_cast<uint8_t*>(to->pixels) + static_cast<ptrdiff_t>(first) * to->pitch,
             to->pitch, page, pitch, first, last, out.row_bytes);
  out.first_row = out.first_row < 0 ? first : std::min(out.first_row, first);
  out.last_row = std::max(out.last_row, last);
  return true;
}

// SDL's idea of the size changed since the real one was asked, without an event that said so:
// the real one is asked again, and the whole picture repainted.
bool size_changed_unseen(PictureOutput& out) {
  int w = 0, h = 0;
  SDL_GetWindowSize(out.window, &w, &h);
  if (w == out.sdl_w && h == out.sdl_h) return false;
  ask_window_size(out);
  out.stale = true;
  return true;
}

void show_texture(PictureOutput& out, bool repaint) {
  if (size_changed_unseen(out)) repaint = true;
  if (out.texture_locked) {
    SDL_UnlockTexture(out.texture);  // an OpenGL renderer uploads the lines here
    out.texture_locked = false;
    repaint = true;
  }
  if (!repaint) return;
  int out_w = out.width, out_h = out.height;
  SDL_GetRendererOutputSize(out.renderer, &out_w, &out_h);
  out_w = std::min(out_w, out.area_w);
  out_h = std::min(out_h, out.area_h);
  const SDL_Rect target = picture_target(out.width, out.height, out_w, out_h);
  // Black borders only where the picture does not cover the output.
  if (target.w != out_w || target.h != out_h) {
    SDL_SetRenderDrawColor(out.renderer, 0, 0, 0, 255);
    SDL_RenderClear(out.renderer);
  }
  SDL_RenderCopy(out.renderer, out.texture, nullptr, &target);
  SDL_RenderPresent(out.renderer);
}

void show_surface(PictureOutput& out, bool repaint) {
  if (size_changed_unseen(out)) repaint = true;
  const bool received = out.first_row >= 0;
  if (!received && !repaint) return;
  SDL_Surface* surface = SDL_GetWindowSurface(out.window);
  if (surface == nullptr) return;
  if (out.direct) {
    const SDL_Rect rows = {0, out.first_row, out.width, out.last_row - out.first_row + 1};
    if (received && !repaint)
      SDL_UpdateWindowSurfaceRects(out.window, &rows, 1);
    else
      SDL_UpdateWindowSurface(out.window);
  } else if (out.picture != nullptr) {
    const int area_w = std::min(surface->w, out.area_w), area_h = std::min(surface->h, out.area_h);
    SDL_Rect target = picture_target(out.width, out.height, area_w, area_h);
    if (target.w != area_w || target.h != area_h) SDL_FillRect(surface, nullptr, 0);
    SDL_BlitScaled(out.picture, nullptr, surface, &target);
    SDL_UpdateWindowSurface(out.window);
  }
  out.first_row = out.last_row = -1;
}

}  // namespace

bool open_picture_output(PictureOutput& out, SDL_Window* window, Uint32 pixel_format, int width,
                         int height) {
  out = PictureOutput{};
  out.window = window;
  out.pixel_format = pixel_format;
  out.width = width;
  out.height = height;
  out.row_bytes = width * SDL_BYTESPERPIXEL(pixel_format);
  ask_window_size(out);
  if (picture_through_renderer(window)) return open_renderer(out);
  SDL_Surface* surface = SDL_GetWindowSurface(window);
  if (surface == nullptr) return false;
  SDL_FillRect(surface, nullptr, 0);
  return true;
}

void close_picture_output(PictureOutput& out) {
  if (out.picture != nullptr) SDL_FreeSurface(out.picture);
  if (out.texture != nullptr) SDL_DestroyTexture(out.texture);
  if (out.renderer != nullptr) SDL_DestroyRenderer(out.renderer);
  out = PictureOutput{};
}

bool receive_lines(PictureOutput& out, const uint8_t* page, int pitch, int first, int last) {
  if (page == nullptr || first < 0 || last >= out.height || first > last) return false;
  return out.renderer != nullptr ? receive_into_texture(out, page, pitch, first, last)
                                 : receive_into_surface(out, page, pitch, first, last);
}

void show_picture(PictureOutput& out, bool repaint) {
  if (out.renderer != nullptr)
    show_texture(out, repaint);
  else
    show_surface(out, repaint);
}

bool picture_output_resized(PictureOutput& out) {
  const int area_w = out.area_w, area_h = out.area_h;
  ask_window_size(out);
  if (out.area_w == area_w && out.area_h == area_h) return false;
  out.stale = true;
  return true;
}

SDL_Rect picture_target(int picture_w, int picture_h, int area_w, int area_h) {
  const int scale = std::max(1, std::min(area_w / picture_w, area_h / picture_h));
  return {(area_w - picture_w * scale) / 2, (area_h - picture_h * scale) / 2, picture_w * scale,
          picture_h * scale};
}

int scale_that_fits(int scale, int picture_w, int picture_h, int area_w, int area_h) {
  while (scale > 1 && (picture_w * scale > area_w || picture_h * scale > area_h)) --scale;
  return std::max(scale, 1);
}
