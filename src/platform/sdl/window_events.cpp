#include "platform/sdl/window_events.h"

#include <cstring>

#include "platform/keyboard.h"
#include "platform/presenter_lock.h"
#include "platform/sdl/scan_codes.h"
#include "platform/sdl/sdl_key_events.h"
#include "platform/this_thread.h"

namespace {

void update_activity(Window& w) {
  w.active = w.focused && !w.minimised;
  if (window_settings.flags & SCREEN_WINDOW_THREAD_BOOST) raise_this_thread(w.active);
  // Keys may have changed unseen while another window had the focus.
  std::memset(window_settings.view->key_state, 0, 128);
  mark_all_lines_dirty();
}

bool fixed_mode() {
  return (window_settings.flags & SCREEN_FIXED_MODE) != 0;
}

// A window manager may resize the window by its edges: the window keeps its size, as a window
// without a maximise button would.
void keep_window_size(Window& w, int width, int height) {
  if (w.fullscreen || (SDL_GetWindowFlags(w.window) & SDL_WINDOW_MAXIMIZED)) return;
  if (width != window_settings.window_width || height != window_settings.window_height)
    SDL_SetWindowSize(w.window, window_settings.window_width, window_settings.window_height);
}

void handle_window_event(Window& w, const SDL_WindowEvent& event) {
  switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
      push_key(CLOSE_KEY_CODE);
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      w.focused = true;
      update_activity(w);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      w.focused = false;
      update_activity(w);
      break;
    case SDL_WINDOWEVENT_MINIMIZED:
      w.minimised = true;
      update_activity(w);
      break;
    case SDL_WINDOWEVENT_MAXIMIZED:
      // Maximising is the window manager's way to ask for full screen.
      if (!fixed_mode() && !w.fullscreen) w.toggle_requested = true;
      break;
    case SDL_WINDOWEVENT_RESTORED:
      w.minimised = false;
      update_activity(w);
      break;
    case SDL_WINDOWEVENT_RESIZED:
      keep_window_size(w, event.data1, event.data2);
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      picture_output_resized(w.output);
      mark_all_lines_dirty();
      w.needs_present = true;
      break;
    case SDL_WINDOWEVENT_EXPOSED:
      // A window manager that grants full screen after SDL stopped waiting resizes the window
      // without an SDL size event: the newly exposed area is the only sign.
      if (picture_output_resized(w.output)) mark_all_lines_dirty();
      w.needs_present = true;
      break;
    default:
      break;
  }
}

void handle_key_press(Window& w, const SDL_KeyboardEvent& key) {
  w.key_modifiers = key.keysym.mod;
  const bool enter =
      key.keysym.scancode == SDL_SCANCODE_RETURN || key.keysym.scancode == SDL_SCANCODE_KP_ENTER;
  if (enter && (key.keysym.mod & KMOD_ALT) && !key.repeat && w.active && !fixed_mode())
    w.toggle_requested = true;
  queue_key_press(key);
}

}  // namespace

void mark_all_lines_dirty() {
  std::memset(window_settings.view->dirty_lines, 1, static_cast<size_t>(window_settings.height));
}

void refresh_key_state() {
  int count = 0;
  const Uint8* held = SDL_GetKeyboardState(&count);
  uint8_t fresh[128] = {};
  for (int scancode = 0; scancode < count; ++scancode) {
    if (!held[scancode]) continue;
    const PcScanCode pc = pc_scan_code(scancode);
    if (pc.scan > 0 && pc.scan < 128) fresh[pc.scan] = 1;
  }
  std::memcpy(window_settings.view->key_state, fresh, sizeof fresh);
}

void handle_events(Window& w) {
  SDL_Event event;
  while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
    switch (event.type) {
      case SDL_QUIT:
        push_key(CLOSE_KEY_CODE);
        break;  // SIGINT or SIGTERM
      case SDL_WINDOWEVENT:
        handle_window_event(w, event.window);
        break;
      case SDL_KEYDOWN:
        handle_key_press(w, event.key);
        break;
      case SDL_KEYUP:
        w.key_modifiers = event.key.keysym.mod;
        break;
      case SDL_TEXTINPUT:
        queue_text_input(event.text, w.key_modifiers);
        break;
      default:
        break;
    }
  }
}

void toggle_fullscreen(Window& w) {
  w.toggle_requested = false;
  const bool wanted = !w.fullscreen;
  // A maximised window that goes full screen comes back at its own size, not maximised.
  if (wanted && (SDL_GetWindowFlags(w.window) & SDL_WINDOW_MAXIMIZED)) SDL_RestoreWindow(w.window);
  if (SDL_SetWindowFullscreen(w.window, wanted ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0)
    w.fullscreen = wanted;
  else
    SDL_SetWindowFullscreen(w.window, w.fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
  if (!w.fullscreen)
    SDL_SetWindowSize(w.window, window_settings.window_width, window_settings.window_height);
  w.focused = true;
  w.minimised = false;
  w.active = true;
  w.needs_present = true;
  picture_output_resized(w.output);
  if (try_take_presenter_lock(WINDOW_LOCK_WAIT_MS)) {
    mark_all_lines_dirty();
    release_presenter_lock();
  }
}
