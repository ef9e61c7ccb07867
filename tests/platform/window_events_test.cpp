// The window thread's answers to window events, fed through SDL's event queue without a display.
#include "platform/sdl/window_events.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>
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

  // A window event, or Alt+Enter (repeated or not) when `what` is 0.
  void send(Uint8 what, bool repeat = false) {
    SDL_Event event{};
    event.type = what ? SDL_WINDOWEVENT : SDL_KEYDOWN;
    event.window.event = what;
    if (!what) {
      event.key.state = SDL_PRESSED;
      event.key.repeat = repeat ? 1 : 0;
      event.key.keysym.scancode = SDL_SCANCODE_RETURN;
      event.key.keysym.sym = SDLK_RETURN;
      event.key.keysym.mod = KMOD_LALT;
    }
    ASSERT_EQ(SDL_PushEvent(&event), 1);
    handle_events(w);
  }
};

// Active means focused and not minimised; every change forgets the held keys and redraws.
TEST_F(WindowEvents, FocusAndMinimisingSetActivityClearHeldKeysAndRedrawEveryLine) {
  const std::pair<Uint8, bool> changes[] = {
      {SDL_WINDOWEVENT_FOCUS_LOST, false},
      {SDL_WINDOWEVENT_MINIMIZED, false},
      {SDL_WINDOWEVENT_FOCUS_GAINED, false},  // still minimised
      {SDL_WINDOWEVENT_RESTORED, true}};
  const auto zero = [](uint8_t value) { return value == 0; };
  for (const auto& [change, active] : changes) {
    SCOPED_TRACE(static_cast<int>(change));
    keys[56] = keys[62] = 1;  // Alt and F4 held when the change comes
    std::fill(dirty.begin(), dirty.end(), 0);
    send(change);
    EXPECT_EQ(w.active, active);
    EXPECT_TRUE(std::all_of(keys, keys + 128, zero));
    EXPECT_TRUE(std::none_of(dirty.begin(), dirty.end(), zero));
  }
}

TEST_F(WindowEvents, MaximiseAndAltEnterAskForFullScreenWhereAllowed) {
  send(SDL_WINDOWEVENT_MAXIMIZED);
  EXPECT_TRUE(w.toggle_requested);
  w.toggle_requested = false;
  send(0);
  EXPECT_TRUE(w.toggle_requested);
  // Alt+Enter held: its auto-repeat would switch back and forth.
  w.toggle_requested = false;
  send(0, true);
  EXPECT_FALSE(w.toggle_requested);
  // Neither in a fixed mode, nor Alt+Enter while inactive, nor a maximise in full screen.
  w.toggle_requested = false;
  window_settings.flags = SCREEN_FIXED_MODE;
  send(SDL_WINDOWEVENT_MAXIMIZED);
  send(0);
  window_settings.flags = 0;
  send(SDL_WINDOWEVENT_FOCUS_LOST);
  send(0);
  w.fullscreen = true;
  send(SDL_WINDOWEVENT_MAXIMIZED);
  EXPECT_FALSE(w.toggle_requested);
}

}  // namespace
