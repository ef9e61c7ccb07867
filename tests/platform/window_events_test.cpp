// The SDL back end without a display: its refusal of palette pages, where the picture lands in the
// window, and the window thread's answers to window events fed through SDL's event queue.
#include "platform/sdl/window_events.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/display_driver.h"
#include "platform/sdl/picture_output.h"

namespace {

// Refusing without a display, and saying why in one line, is checked on the program itself; a
// refused depth never reaches the view (a crash otherwise).
TEST(SdlDisplay, RefusesPalettePages) {
  const DisplayView view{};
  EXPECT_NE(SdlDisplayDriver.start("t", 640, 480, 8, 0, 0xC0, &view), 0);
  EXPECT_STRNE(display_error(), "");
}

// Centred and scaled by the largest whole factor that fits, never below 1 (an area smaller than
// the picture loses the same on both sides; the copy clips to it).
TEST(PictureTarget, CentredAtTheLargestWholeScaleThatFits) {
  const int rows[][6] = {
      // area width, height; the picture's rectangle in it
      {640, 480, 0, 0, 640, 480},        {1024, 768, 192, 144, 640, 480},   // 1.6 times: 1
      {1600, 1200, 160, 120, 1280, 960}, {1920, 1080, 320, 60, 1280, 960},  // height limits
      {2560, 1440, 320, 0, 1920, 1440},  {1279, 2000, 319, 760, 640, 480},  // width limits
      {320, 240, -160, -120, 640, 480}};
  for (const auto& [width, height, x, y, w, h] : rows) {
    const SDL_Rect r = picture_target(640, 480, width, height);
    EXPECT_EQ((std::array{r.x, r.y, r.w, r.h}), (std::array{x, y, w, h})) << width << "x" << height;
  }
}

TEST(PictureTarget, TheScaleShrinksUntilTheWindowFitsTheArea) {
  const int rows[][4] = {
      // scale asked, area width, area height, scale that fits
      {8, 5120, 3840, 8}, {8, 5119, 3840, 7}, {3, 1920, 1080, 2},   // height limits
      {3, 1280, 2000, 2},                                           // width limits
      {2, 1024, 768, 1},  {2, 320, 240, 1},   {1, 1920, 1080, 1}};  // never below 1
  for (const auto& row : rows)
    EXPECT_EQ(scale_that_fits(row[0], 640, 480, row[1], row[2]), row[3])
        << row[0] << " in " << row[1] << "x" << row[2];
}

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
