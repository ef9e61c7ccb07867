#pragma once
// What the SDL back end's files share: the settings the window was asked for and the window
// thread's own state.
#include <SDL2/SDL.h>

#include <string>

#include "platform/display_driver.h"
#include "platform/frame_handoff.h"
#include "platform/sdl/display_input.h"
#include "platform/sdl/picture_output.h"
#include "platform/sdl/screen_saver.h"

// The window thread's longest wait for the presenter lock before it looks at the running flag
// again: a finished frame still reaches the window within about 10 ms.
constexpr int WINDOW_LOCK_WAIT_MS = 10;

// Written by start before the window thread runs, the window's size also by the window thread
// before the window opens (fitted to the monitor); read-only from then on.
struct WindowSettings {
  std::string title;
  int width = 0;  // the pages' size
  int height = 0;
  int window_width = 0;  // the window's own size: the pages' times the start scale
  int window_height = 0;
  int flags = 0;
  Uint32 pixel_format = 0;
  const DisplayView* view = nullptr;
};
extern WindowSettings window_settings;

// Owned by the window thread alone.
struct Window {
  SDL_Window* window = nullptr;
  PictureOutput output;
  DisplayInput input;
  ScreenSaverHold screen_saver;
  bool needs_present = true;
  bool focused = true;
  bool minimised = false;
  bool active = true;
  bool fullscreen = false;
  bool toggle_requested = false;
  int key_modifiers = 0;  // of the last key event, for the text it produces
};

// The drawing and window threads' meeting point. Never freed, so a window thread left running at
// exit never touches a destroyed object.
FrameHandoff& window_handoff();

// The window thread's body.
void window_thread_main();

// Checks start's arguments and records them in window_settings; false (with the reason recorded)
// for a screen that cannot be shown.
bool settle_window_settings(const char* title, int width, int height, int depth, int flags,
                            const DisplayView* view);

// On the thread that serves the window, which then owns SDL's video. False with the reason
// recorded when there is no window; close_window undoes what open_window got done either way.
bool open_window(Window& w);
void close_window(Window& w);

// One pass of serving the window, after SDL_PumpEvents. Under the presenter lock: takes the
// visible page's changed lines, the held keys and the queued events.
void serve_window(Window& w);
// Then outside the lock: a requested full-screen change, and the picture shown.
void present_window(Window& w);

// Records the reason display_error gives.
void set_display_error(const char* text);
// Records the failed step with SDL's own reason, e.g. "no display: No available video device".
void set_window_error(const char* step);
