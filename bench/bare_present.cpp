// The least a program can do to show a 640x480 picture at 60 Hz: a window, its page copied in full
// and shown every frame, the events pumped, nothing drawn. It links SDL2 and the intro's choice of
// route only (a streaming texture through SDL's renderer, or the window's own surface), and takes
// the route the intro takes, so its CPU cost is the baseline the running intro is measured against.
// Usage: bare_present [seconds] (0 or none: until closed).
#include <SDL2/SDL.h>
#include <time.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/sdl/renderer_choice.h"

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 0.0;
  constexpr int kWidth = 640, kHeight = 480;
  auto now_ns = [] {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
  };
  // Where the start-up time goes: the cost of a window that any picture needs.
  const int64_t t_main = now_ns();
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "bare_present: %s\n", SDL_GetError());
    return 1;
  }
  const int64_t t_video = now_ns();
  SDL_Window* window = SDL_CreateWindow("bare_present", SDL_WINDOWPOS_CENTERED,
                                        SDL_WINDOWPOS_CENTERED, kWidth, kHeight, 0);
  const int64_t t_window = now_ns();
  // The intro's route: SDL's renderer where the display renders OpenGL directly, else a copy into
  // the window's own shared-memory surface (the choice also turns SDL's framebuffer acceleration
  // off, as for the intro).
  const bool through_renderer = window && picture_through_renderer(window);
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  SDL_Surface* surface = nullptr;
  if (through_renderer) {
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!renderer) renderer = SDL_CreateRenderer(window, -1, 0);
    if (renderer)
      texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                  kWidth, kHeight);
    if (texture) SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
  } else if (window) {
    surface = SDL_GetWindowSurface(window);
    if (surface && (surface->w < kWidth || surface->h < kHeight ||
                    SDL_BYTESPERPIXEL(surface->format->format) != 4))
      surface = nullptr;
  }
  if (!texture && !surface) {
    std::fprintf(stderr, "bare_present: %s\n", SDL_GetError());
    return 1;
  }
  const int64_t t_renderer = now_ns();
  SDL_RendererInfo info;
  const char* route = "window surface";
  if (renderer && SDL_GetRendererInfo(renderer, &info) == 0) route = info.name;
  std::fprintf(stderr,
               "bare_present: renderer %s; from main: video %.1f ms, window %.1f ms, renderer "
               "and texture %.1f ms\n",
               route, (t_video - t_main) / 1e6, (t_window - t_video) / 1e6,
               (t_renderer - t_window) / 1e6);

  // A grey page with one moving white line, so that every frame's picture differs.
  std::vector<uint32_t> page(static_cast<size_t>(kWidth) * kHeight, 0xFF202020u);
  constexpr int64_t kPeriodNs = 1000000000 / 60;
  const int64_t start = now_ns();
  int64_t next = start + kPeriodNs;
  for (uint64_t frame = 0;; ++frame) {
    SDL_Event event;
    bool quit = false;
    while (SDL_PollEvent(&event)) {
      if (event.type == SDL_QUIT ||
          (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE))
        quit = true;
    }
    if (quit || (seconds > 0 && static_cast<double>(now_ns() - start) >= seconds * 1e9)) break;

    const int line = static_cast<int>(frame % kHeight);
    const int previous = static_cast<int>((frame + kHeight - 1) % kHeight);
    for (int x = 0; x < kWidth; ++x) {
      page[static_cast<size_t>(previous) * kWidth + x] = 0xFF202020u;
      page[static_cast<size_t>(line) * kWidth + x] = 0xFFFFFFFFu;
    }
    if (texture) {
      SDL_UpdateTexture(texture, nullptr, page.data(), kWidth * 4);
      SDL_RenderCopy(renderer, texture, nullptr, nullptr);
      SDL_RenderPresent(renderer);
    } else {
      for (int y = 0; y < kHeight; ++y)
        std::memcpy(
            static_cast<uint8_t*>(surface->pixels) + static_cast<ptrdiff_t>(y) * surface->pitch,
            &page[static_cast<size_t>(y) * kWidth], kWidth * 4);
      SDL_UpdateWindowSurface(window);
    }

    // 60 Hz on a fixed grid of deadlines, slept to exactly; a late frame resumes at the next
    // deadline ahead.
    const int64_t after = now_ns();
    while (next <= after) next += kPeriodNs;
    const timespec deadline = {static_cast<time_t>(next / 1000000000),
                               static_cast<long>(next % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
    next += kPeriodNs;
  }
  if (texture) SDL_DestroyTexture(texture);
  if (renderer) SDL_DestroyRenderer(renderer);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
