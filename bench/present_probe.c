// Preloaded (LD_PRELOAD) into a program that shows its pictures through SDL2 (a renderer's updated
// or locked streaming textures, or a window surface), this notes on the monotonic clock when the
// first picture, the first picture that is not all black, and the first with a coloured pixel (red,
// green and blue not all equal) were presented, and counts the presents. It writes them to the file
// named by PRESENT_PROBE_FILE after every present, so a measuring script can read them while the
// program runs. Nothing else changes.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

// Only pointers to these cross the interface; SDL_Rect's layout is part of SDL2's stable ABI.
typedef struct SDL_Texture SDL_Texture;
typedef struct SDL_Renderer SDL_Renderer;
typedef struct {
  int x, y, w, h;
} SDL_Rect;

typedef int (*UpdateTextureFn)(SDL_Texture*, const SDL_Rect*, const void*, int);
typedef int (*LockTextureFn)(SDL_Texture*, const SDL_Rect*, void**, int*);
typedef void (*UnlockTextureFn)(SDL_Texture*);
typedef void (*RenderPresentFn)(SDL_Renderer*);
typedef int (*QueryTextureFn)(SDL_Texture*, uint32_t*, int*, int*, int*);

static int probe_fd = -2;  // -2: not opened yet, -1: no file asked for
static long long presents;
static long long first_present_ns, first_content_ns, first_colour_ns;
static int pending_content, pending_colour;  // seen in an update, not yet presented

static long long now_ns(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (long long)t.tv_sec * 1000000000LL + t.tv_nsec;
}

static int probe_file(void) {
  if (probe_fd == -2) {
    const char* name = getenv("PRESENT_PROBE_FILE");
    probe_fd = name ? open(name, O_WRONLY | O_CREAT | O_TRUNC, 0644) : -1;
  }
  return probe_fd;
}

// 32-bit pixels (ARGB8888) only; other formats are never classified.
static void classify(const SDL_Rect* rect, SDL_Texture* texture, const void* pixels, int pitch) {
  if ((first_content_ns && first_colour_ns) || pixels == NULL) return;
  int w, h;
  uint32_t format = 0;
  if (rect) {
    w = rect->w;
    h = rect->h;
  } else {
    QueryTextureFn query = (QueryTextureFn)dlsym(RTLD_DEFAULT, "SDL_QueryTexture");
    if (query == NULL || query(texture, &format, NULL, &w, &h) != 0) return;
  }
  if (pitch < w * 4) return;
  for (int y = 0; y < h; ++y) {
    const uint32_t* row = (const uint32_t*)((const uint8_t*)pixels + (size_t)y * (size_t)pitch);
    for (int x = 0; x < w; ++x) {
      const uint32_t p = row[x];
      const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
      if (r | g | b) pending_content = 1;
      if (r != g || g != b) {
        pending_colour = 1;
        return;
      }
    }
  }
}

int SDL_UpdateTexture(SDL_Texture* texture, const SDL_Rect* rect, const void* pixels, int pitch) {
  static UpdateTextureFn real;
  if (real == NULL) real = (UpdateTextureFn)dlsym(RTLD_NEXT, "SDL_UpdateTexture");
  if (probe_file() >= 0) classify(rect, texture, pixels, pitch);
  return real(texture, rect, pixels, pitch);
}

// A locked texture is classified when it is unlocked, once the program has written it.
static SDL_Texture* locked_texture;
static SDL_Rect locked_rect;
static int locked_whole;
static void* locked_pixels;
static int locked_pitch;

int SDL_LockTexture(SDL_Texture* texture, const SDL_Rect* rect, void** pixels, int* pitch) {
  static LockTextureFn real;
  if (real == NULL) real = (LockTextureFn)dlsym(RTLD_NEXT, "SDL_LockTexture");
  const int result = real(texture, rect, pixels, pitch);
  locked_texture = result == 0 ? texture : NULL;
  if (result == 0) {
    locked_whole = rect == NULL;
    if (rect) locked_rect = *rect;
    locked_pixels = *pixels;
    locked_pitch = *pitch;
  }
  return result;
}

void SDL_UnlockTexture(SDL_Texture* texture) {
  static UnlockTextureFn real;
  if (real == NULL) real = (UnlockTextureFn)dlsym(RTLD_NEXT, "SDL_UnlockTexture");
  if (texture == locked_texture && probe_file() >= 0)
    classify(locked_whole ? NULL : &locked_rect, texture, locked_pixels, locked_pitch);
  locked_texture = NULL;
  real(texture);
}

static void note_present(void) {
  const int fd = probe_file();
  if (fd < 0) return;
  const long long t = now_ns();
  ++presents;
  if (!first_present_ns) first_present_ns = t;
  if (pending_content && !first_content_ns) first_content_ns = t;
  if (pending_colour && !first_colour_ns) first_colour_ns = t;
  char text[160];
  const int n = snprintf(text, sizeof text,
                         "presents %20lld\nfirst_present_ns %20lld\nfirst_content_ns %20lld\n"
                         "first_colour_ns %20lld\n",
                         presents, first_present_ns, first_content_ns, first_colour_ns);
  if (n > 0) (void)!pwrite(fd, text, (size_t)n, 0);
}

void SDL_RenderPresent(SDL_Renderer* renderer) {
  static RenderPresentFn real;
  if (real == NULL) real = (RenderPresentFn)dlsym(RTLD_NEXT, "SDL_RenderPresent");
  real(renderer);
  note_present();
}

// A window surface shown without a renderer: the head of SDL_Surface is part of SDL2's stable ABI.
typedef struct SDL_Window SDL_Window;
typedef struct {
  uint32_t flags;
  void* format;
  int w, h;
  int pitch;
  void* pixels;
} SurfaceHead;
typedef SurfaceHead* (*GetWindowSurfaceFn)(SDL_Window*);
typedef int (*UpdateWindowSurfaceFn)(SDL_Window*);
typedef int (*UpdateWindowSurfaceRectsFn)(SDL_Window*, const SDL_Rect*, int);

static void classify_window_surface(SDL_Window* window, const SDL_Rect* rects, int count) {
  if (probe_file() < 0) return;
  GetWindowSurfaceFn get = (GetWindowSurfaceFn)dlsym(RTLD_DEFAULT, "SDL_GetWindowSurface");
  SurfaceHead* surface = get ? get(window) : NULL;
  if (surface == NULL || surface->pixels == NULL) return;
  const SDL_Rect whole = {0, 0, surface->w, surface->h};
  if (rects == NULL) {
    rects = &whole;
    count = 1;
  }
  for (int i = 0; i < count; ++i) {
    const SDL_Rect r = rects[i];
    if (r.x < 0 || r.y < 0 || r.w <= 0 || r.h <= 0 || r.x + r.w > surface->w ||
        r.y + r.h > surface->h)
      continue;
    classify(&r, NULL,
             (uint8_t*)surface->pixels + (size_t)r.y * (size_t)surface->pitch + (size_t)r.x * 4,
             surface->pitch);
  }
}

int SDL_UpdateWindowSurface(SDL_Window* window) {
  static UpdateWindowSurfaceFn real;
  if (real == NULL) real = (UpdateWindowSurfaceFn)dlsym(RTLD_NEXT, "SDL_UpdateWindowSurface");
  classify_window_surface(window, NULL, 0);
  const int result = real(window);
  note_present();
  return result;
}

int SDL_UpdateWindowSurfaceRects(SDL_Window* window, const SDL_Rect* rects, int count) {
  static UpdateWindowSurfaceRectsFn real;
  if (real == NULL)
    real = (UpdateWindowSurfaceRectsFn)dlsym(RTLD_NEXT, "SDL_UpdateWindowSurfaceRects");
  classify_window_surface(window, rects, count);
  const int result = real(window, rects, count);
  note_present();
  return result;
}
