// The least a program can do to show a 640x480 picture at 60 Hz: a window, a streaming texture
// updated in full and presented every frame, the events pumped, nothing drawn. It links SDL2 and
// the intro's choice of renderer only, and sets the window up as the intro's back end does, so its
// CPU cost is the baseline the running intro is measured against.
// Usage: bare_present [seconds] (0 or none: until closed).
#include <SDL2/SDL.h>
#include <time.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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
  // Where the intro would write its window surface directly, SDL's software renderer: the
  // nearest a streaming texture comes to that.
  if (window && !picture_through_renderer(window)) SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
  SDL_Renderer* renderer =
      window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_PRESENTVSYNC) : nullptr;
  if (window && !renderer) renderer = SDL_CreateRenderer(window, -1, 0);
  SDL_Texture* texture = renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                                                      SDL_TEXTUREACCESS_STREAMING, kWidth, kHeight)
                                  : nullptr;
  if (!texture) {
    std::fprintf(stderr, "bare_present: %s\n", SDL_GetError());
    return 1;
  }
  SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
  const int64_t t_renderer = now_ns();
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(renderer, &info) == 0)
    std::fprintf(stderr,
                 "bare_present: renderer %s; from main: video %.1f ms, window %.1f ms, renderer "
                 "and texture %.1f ms\n",
                 info.name, (t_video - t_main) / 1e6, (t_window - t_video) / 1e6,
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
    SDL_UpdateTexture(texture, nullptr, page.data(), kWidth * 4);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);

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
  SDL_DestroyTexture(texture);
  SDL_DestroyRenderer(renderer);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
