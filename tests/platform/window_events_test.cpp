// The window thread's answers to window events, fed through SDL's event queue without a display.
#include "platform/sdl/window_events.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

class WindowEvents : public ::testing::Test {
 protected:
  std::vector<uint32_t> page = std::vector<uint32_t>(640 * 480, 0);
  uint32_t* visible = page.data();
  std::vector<uint8_t> dirty = std::vector<uint8_t>(480, 0);
  uint8_t keys[128] = {};
  int refresh_rate = 60;
  DisplayView view{&visible, dirty.data(), keys, &refresh_rate, 640, 480, 640 * 4};
  Window w;

  void SetUp() override {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    window_settings = WindowSettings{};
    window_settings.width = 640;
    window_settings.height = 480;
    window_settings.view = &view;
  }
  void TearDown() override {
    window_settings = WindowSettings{};
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
  }

  void send_window_event(Uint8 what) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = what;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
    handle_events(w);
  }
  void send_alt_enter() {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.scancode = SDL_SCANCODE_RETURN;
    event.key.keysym.sym = SDLK_RETURN;
    event.key.keysym.mod = KMOD_LALT;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
    handle_events(w);
  }
};

TEST_F(WindowEvents, FocusChangesClearHeldKeysAndRedrawEveryLine) {
  for (const Uint8 change : {SDL_WINDOWEVENT_FOCUS_LOST, SDL_WINDOWEVENT_FOCUS_GAINED,
                             SDL_WINDOWEVENT_MINIMIZED, SDL_WINDOWEVENT_RESTORED}) {
    SCOPED_TRACE(static_cast<int>(change));
    keys[56] = keys[62] = 1;  // Alt and F4 held when the change comes
    std::fill(dirty.begin(), dirty.end(), 0);
    send_window_event(change);
    EXPECT_EQ(keys[56], 0);
    EXPECT_EQ(keys[62], 0);
    EXPECT_TRUE(std::all_of(dirty.begin(), dirty.end(), [](uint8_t line) { return line != 0; }));
  }
  send_window_event(SDL_WINDOWEVENT_FOCUS_LOST);
  EXPECT_FALSE(w.active);
  send_window_event(SDL_WINDOWEVENT_FOCUS_GAINED);
  EXPECT_TRUE(w.active);
}

TEST_F(WindowEvents, MaximiseAndAltEnterAskForFullScreenWhereAllowed) {
  send_window_event(SDL_WINDOWEVENT_MAXIMIZED);
  EXPECT_TRUE(w.toggle_requested);
  w.toggle_requested = false;
  send_alt_enter();
  EXPECT_TRUE(w.toggle_requested);
  // Neither in a fixed mode, nor Alt+Enter while inactive, nor a maximise in full screen.
  w.toggle_requested = false;
  window_settings.flags = SCREEN_FIXED_MODE;
  send_window_event(SDL_WINDOWEVENT_MAXIMIZED);
  send_alt_enter();
  window_settings.flags = 0;
  send_window_event(SDL_WINDOWEVENT_FOCUS_LOST);
  send_alt_enter();
  w.fullscreen = true;
  send_window_event(SDL_WINDOWEVENT_MAXIMIZED);
  EXPECT_FALSE(w.toggle_requested);
}

}  // namespace
