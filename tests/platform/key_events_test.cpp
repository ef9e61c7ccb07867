#include <SDL2/SDL_events.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/keyboard.h"
#include "platform/sdl/sdl_key_events.h"

namespace {
SDL_KeyboardEvent key_press(SDL_Scancode scancode, SDL_Keycode sym, int modifiers = 0) {
  SDL_KeyboardEvent event{};
  event.type = SDL_KEYDOWN;
  event.state = SDL_PRESSED;
  event.keysym.scancode = scancode;
  event.keysym.sym = sym;
  event.keysym.mod = static_cast<Uint16>(modifiers);
  return event;
}

SDL_TextInputEvent text(const char* utf8) {
  SDL_TextInputEvent event{};
  event.type = SDL_TEXTINPUT;
  std::strncpy(event.text, utf8, sizeof event.text - 1);
  return event;
}

std::string drain() {
  std::string all;
  for (std::string key = read_key(); !key.empty(); key = read_key()) all += key;
  return all;
}

class KeyEvents : public ::testing::Test {
 protected:
  void SetUp() override { reset_keyboard(); }
};

TEST_F(KeyEvents, SpecialKeysPushTheirCodes) {
  queue_key_press(key_press(SDL_SCANCODE_TAB, SDLK_TAB, KMOD_LSHIFT));
  queue_key_press(key_press(SDL_SCANCODE_F12, SDLK_F12, KMOD_RCTRL));
  queue_key_press(key_press(SDL_SCANCODE_UP, SDLK_UP));
  queue_key_press(key_press(SDL_SCANCODE_LEFT, SDLK_LEFT, KMOD_LCTRL));
  queue_key_press(key_press(SDL_SCANCODE_KP_7, SDLK_KP_7));
  EXPECT_EQ(drain(), std::string("\xFF\x0F\xFF\x8A\xFF\x48\xFF\x73\xFF\x47", 10));
  // With Num Lock the keypad types its digit through the text event.
  queue_key_press(key_press(SDL_SCANCODE_KP_7, SDLK_KP_7, KMOD_NUM));
  EXPECT_EQ(drain(), "");
}

TEST_F(KeyEvents, LettersComeFromTheTextEventInCodePage437) {
  queue_key_press(key_press(SDL_SCANCODE_A, SDLK_a));
  EXPECT_EQ(drain(), "");
  queue_text_input(text("a\xC3\xA9"), 0);  // "aé"
  EXPECT_EQ(drain(), "a\x82");
}

TEST_F(KeyEvents, ControlCharactersComeFromTheKeyPress) {
  queue_key_press(key_press(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE));
  queue_key_press(key_press(SDL_SCANCODE_RETURN, SDLK_RETURN));
  queue_key_press(key_press(SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE));
  queue_key_press(key_press(SDL_SCANCODE_C, SDLK_c, KMOD_LCTRL));
  queue_key_press(key_press(SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER));
  EXPECT_EQ(drain(), "\x1B\x0D\x08\x03\x0D");
}

TEST_F(KeyEvents, AltF4AndF10QueueNothing) {
  queue_key_press(key_press(SDL_SCANCODE_LALT, SDLK_LALT, KMOD_LALT));
  queue_key_press(key_press(SDL_SCANCODE_F4, SDLK_F4, KMOD_LALT));
  queue_key_press(key_press(SDL_SCANCODE_F4, SDLK_F4, KMOD_RALT));
  queue_key_press(key_press(SDL_SCANCODE_F10, SDLK_F10));
  queue_text_input(text("q"), KMOD_LALT);
  EXPECT_EQ(drain(), "");
  EXPECT_EQ(take_key_hit(), 0);
}

TEST(KeyModifierBits, SidesAndExtendedFlag) {
  EXPECT_EQ(key_modifier_bits(KMOD_LSHIFT, false), KEY_MOD_SHIFT);
  EXPECT_EQ(key_modifier_bits(KMOD_RSHIFT, false), KEY_MOD_SHIFT);
  EXPECT_EQ(key_modifier_bits(KMOD_LCTRL | KMOD_RCTRL, false), KEY_MOD_CTRL | KEY_MOD_RIGHT_CTRL);
  EXPECT_EQ(key_modifier_bits(KMOD_LALT, true), KEY_MOD_ALT | KEY_MOD_EXTENDED);
  EXPECT_EQ(key_modifier_bits(KMOD_RALT | KMOD_NUM | KMOD_CAPS, false), KEY_MOD_RIGHT_ALT);
}
}  // namespace
