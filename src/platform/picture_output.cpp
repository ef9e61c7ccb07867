#include "platform/picture_output.h"

#include <algorithm>
#include <cstring>

#include "platform/renderer_choice.h"

namespace {

// Centred; in full screen scaled by the largest whole factor that fits, so pixels stay square.
SDL_Rect picture_target(const PictureOutput& out, int out_w, int out_h, bool fullscreen) {
  int scale = 1;
  if (fullscreen) scale = std::max(1, std::min(out_w / out.width, out_h / out.height));
  return {(out_w - out.width * scale) / 2, (out_h - out.height * scale) / 2, out.width * scale,
          out.height * scale};
}

void copy_lines(uint8_t* to, int to_pitch, const uint8_t* page, int pitch, int first, int last,
                int row_bytes) {
  for (int y = first; y <= last; ++y) {
    std::memcpy(to + static_cast<ptrdiff_t>(y) * to_pitch, page + static_cast<ptrdiff_t>(y) * pitch,
                static_cast<size_t>(row_bytes));
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
  if (SDL_LockTexture(out.texture, &rows, &pixels, &to_pitch) != 0) return false;
  copy_lines(static_cast<uint8_t*>(pixels) - static_cast<ptrdiff_t>(first) * to_pitch, to_pitch,
             page, pitch, first, last, out.row_bytes);
  out.texture_locked = true;
  return true;
}

bool receive_into_surface(PictureOutput& out, const uint8_t* page, int pitch, int first, int last) {
  SDL_Surface* surface = SDL_GetWindowSurface(out.window);
  if (surface == nullptr) return false;
  const bool direct = surface->w == out.width && surface->h == out.height &&
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
  copy_lines(static_cast<uint8_t*>(to->pixels), to->pitch, page, pitch, first, last, out.row_bytes);
  out.first_row = out.first_row < 0 ? first : std::min(out.first_row, first);
  out.last_row = std::max(out.last_row, last);
  return true;
}

void show_texture(PictureOutput& out, bool fullscreen, bool repaint) {
  if (out.texture_locked) {
    SDL_UnlockTexture(out.texture);  // an OpenGL renderer uploads the lines here
    out.texture_locked = false;
    repaint = true;
  }
  if (!repaint) return;
  int out_w = out.width, out_h = out.height;
  SDL_GetRendererOutputSize(out.renderer, &out_w, &out_h);
  const SDL_Rect target = picture_target(out, out_w, out_h, fullscreen);
  // Black borders only where the picture does not cover the output.
  if (target.w != out_w || target.h != out_h) {
    SDL_SetRenderDrawColor(out.renderer, 0, 0, 0, 255);
    SDL_RenderClear(out.renderer);
  }
  SDL_RenderCopy(out.renderer, out.texture, nullptr, &target);
  SDL_RenderPresent(out.renderer);
}

void show_surface(PictureOutput& out, bool fullscreen, bool repaint) {
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
    SDL_Rect target = picture_target(out, surface->w, surface->h, fullscreen);
    if (target.w != surface->w || target.h != surface->h) SDL_FillRect(surface, nullptr, 0);
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

void show_picture(PictureOutput& out, bool fullscreen, bool repaint) {
  if (out.renderer != nullptr)
    show_texture(out, fullscreen, repaint);
  else
    show_surface(out, fullscreen, repaint);
}

void picture_output_resized(PictureOutput& out) {
  out.stale = true;
}
