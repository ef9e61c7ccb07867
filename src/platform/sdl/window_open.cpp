// The window itself, whichever thread serves it: opening and closing it, and one pass of showing
// the visible page's changed lines and answering the events.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/presenter_lock.h"
#include "platform/sdl/window.h"
#include "platform/sdl/window_events.h"
#include "platform/this_thread.h"
#include "platform/window_start.h"
#include "platform/x11/x11_errors.h"
#include "platform/x11/x11_functions.h"

WindowSettings window_settings;

namespace {
char error_text[512] = "";

Uint32 page_format(int depth) {
  if (depth == 24 || depth == 32) return SDL_PIXELFORMAT_ARGB8888;
  if (depth == 15 || depth == 16) return SDL_PIXELFORMAT_RGB565;
  return SDL_PIXELFORMAT_UNKNOWN;
}

int display_refresh_rate(SDL_Window* window) {
  SDL_DisplayMode mode;
  const int display = SDL_GetWindowDisplayIndex(window);
  if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0) return 0;
  return mode.refresh_rate;
}

Uint32 window_flags() {
  const int flags = window_settings.flags;
  Uint32 window_flags = 0;
  if (flags & SCREEN_BORDERLESS) window_flags |= SDL_WINDOW_BORDERLESS;
  if (flags & SCREEN_TOPMOST) window_flags |= SDL_WINDOW_ALWAYS_ON_TOP;
  if (flags & SCREEN_FULLSCREEN) window_flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  // A window manager offers maximising, the way to full screen, only to windows it may resize.
  if (!(flags & SCREEN_FIXED_MODE)) window_flags |= SDL_WINDOW_RESIZABLE;
  return window_flags;
}

void set_icon(SDL_Window* window) {
  const WindowStart& start = window_start();
  if (start.icon == nullptr || start.icon_size <= 0) return;
  SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<uint32_t*>(start.icon), start.icon_size, start.icon_size, 32, start.icon_size * 4,
      SDL_PIXELFORMAT_ARGB8888);
  if (icon == nullptr) return;  // a window without its icon still serves
  SDL_SetWindowIcon(window, icon);
  SDL_FreeSurface(icon);
}

// Centred on the monitor asked for, where it exists; else where the window system likes.
int window_position() {
  const int display = window_start().display;
  if (display < 0 || display >= SDL_GetNumVideoDisplays()) return SDL_WINDOWPOS_CENTERED;
  return SDL_WINDOWPOS_CENTERED_DISPLAY(display);
}

// A window larger than the monitor's usable area would have its title bar or bottom off the
// screen: the largest scale that fits instead, with one line saying so. Done before the window
// exists, while the drawing thread waits for it.
void fit_scale_to_monitor() {
  const int scale = window_start().scale;
  int display = window_start().display;
  if (display < 0 || display >= SDL_GetNumVideoDisplays()) display = 0;
  SDL_Rect usable;
  if (scale <= 1 || SDL_GetDisplayUsableBounds(display, &usable) != 0) return;
  const int fits =
      scale_that_fits(scale, window_settings.width, window_settings.height, usable.w, usable.h);
  if (fits == scale) return;
  window_settings.window_width = window_settings.width * fits;
  window_settings.window_height = window_settings.height * fits;
  std::fprintf(stderr,
               INTRO_COMMAND
               ": scale %d does not fit the monitor's usable %dx%d, scale %d instead\n",
               scale, usable.w, usable.h, fits);
}

}  // namespace

bool open_window(Window& w) {
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");  // a close request must not end anything
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // A scaled desktop would otherwise stretch the picture, blurred.
  SDL_SetHint(SDL_HINT_WINDOWS_DPI_AWARENESS, "permonitorv2");
  const char* drivers = desktop_video_drivers();
  if (SDL_GetHint(SDL_HINT_VIDEODRIVER) == nullptr && drivers != nullptr)
    SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers);
  SDL_SetMainReady();  // the program has its own main, not SDL's
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    set_window_error("no display");
    return false;
  }
  answer_x_errors_ourselves();
  fit_scale_to_monitor();
  w.fullscreen = window_settings.flags & SCREEN_FULLSCREEN;
  const int position = window_position();
  w.window =
      SDL_CreateWindow(window_settings.title.c_str(), position, position,
                       window_settings.window_width, window_settings.window_height, window_flags());
  if (w.window == nullptr) {
    set_window_error("no window");
    return false;
  }
  watch_window_for_x_errors(x11_window_of(w.window).window);
  set_icon(w.window);
  if (!open_picture_output(w.output, w.window, window_settings.pixel_format, window_settings.width,
                           window_settings.height)) {
    set_window_error("no picture output");
    return false;
  }
  w.input = watch_display_input(w.window);
  const DisplayView& view = *window_settings.view;
  *view.refresh_rate = display_refresh_rate(w.window);
  if (*view.refresh_rate <= 0) *view.refresh_rate = 60;
  hold_off_screen_saver(w.screen_saver, w.window);
  SDL_RaiseWindow(w.window);
  return true;
}

void close_window(Window& w) {
  restore_screen_saver(w.screen_saver);
  close_picture_output(w.output);
  // SDL's video stays initialised until the process ends: quitting it unloads the GL and D-Bus
  // libraries while they still hold memory, and a later start on a new thread would find SDL's
  // signal handlers gone.
  watch_window_for_x_errors(0);  // from here on its id going away is the intro's own doing
  if (w.window != nullptr) SDL_DestroyWindow(w.window);
}

namespace {
// Under the presenter lock: hands the span from the first to the last flagged line of the
// visible page to the picture output and clears the flags. Unflagged lines inside the span go
// too: the page holds what they show.
void take_dirty_lines(Window& w) {
  const DisplayView& view = *window_settings.view;
  const auto* page = reinterpret_cast<const uint8_t*>(*view.visible_page);
  if (page == nullptr) return;
  int first, last;
  if (!dirty_span(view, first, last) || !receive_lines(w.output, page, view.pitch, first, last))
    return;
  std::memset(view.dirty_lines + first, 0, static_cast<size_t>(last - first + 1));
}
}  // namespace

void serve_window(Window& w) {
  take_dirty_lines(w);
  if (w.active) refresh_key_state();
  handle_events(w);
}

void present_window(Window& w) {
  if (w.toggle_requested) toggle_fullscreen(w);
  // Outside the presenter lock: a synchronised present may block for a whole refresh.
  show_picture(w.output, w.needs_present);
  w.needs_present = false;
}

bool settle_window_settings(const char* title, int width, int height, int depth, int flags,
                            const DisplayView* view) {
  if (view == nullptr || width <= 0 || height <= 0) {
    set_display_error("no screen to show");
    return false;
  }
  window_settings.pixel_format = page_format(depth);
  if (window_settings.pixel_format == SDL_PIXELFORMAT_UNKNOWN) {
    std::snprintf(error_text, sizeof error_text, "pages of %d bits per pixel cannot be shown",
                  depth);
    return false;
  }
  if (window_start().title != nullptr) title = window_start().title;
  window_settings.title = title != nullptr ? title : "";
  window_settings.width = width;
  window_settings.height = height;
  window_settings.window_width = width * window_start().scale;
  window_settings.window_height = height * window_start().scale;
  window_settings.flags = flags < 0 ? 0 : flags;
  window_settings.view = view;
  *view->refresh_rate = 0;
  return true;
}

void set_display_error(const char* text) {
  std::snprintf(error_text, sizeof error_text, "%s", text);
}

void set_window_error(const char* step) {
  std::snprintf(error_text, sizeof error_text, "%s: %s", step, SDL_GetError());
}

const char* display_error() {
  return error_text;
}
