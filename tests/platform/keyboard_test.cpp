// SDL's key events to read_key's codes: scan codes, key tables, typed text in code page 437, the
// ring and its key-hit flag.
#include "platform/keyboard.h"

#include <SDL2/SDL_events.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/code_page_437.h"
#include "platform/sdl/scan_codes.h"
#include "platform/sdl/sdl_key_events.h"

namespace {

class Keyboard : public ::testing::Test {
 protected:
  void SetUp() override { reset_keyboard(); }
};

std::string drain() {
  std::string all;
  for (std::string key = read_key(); !key.empty(); key = read_key()) all += key;
  return all;
}

TEST(ScanCodes, MainBlockAndExtendedKeysThatShareTheirBaseCode) {
  const struct {
    SDL_Scancode sdl;
    int scan;
    bool extended;
  } keys[] = {{SDL_SCANCODE_LALT, 56, false},    {SDL_SCANCODE_RALT, 56, true},
              {SDL_SCANCODE_F4, 62, false},      {SDL_SCANCODE_LCTRL, 29, false},
              {SDL_SCANCODE_RCTRL, 29, true},    {SDL_SCANCODE_RETURN, 28, false},
              {SDL_SCANCODE_KP_ENTER, 28, true}, {SDL_SCANCODE_KP_DIVIDE, 53, true},
              {SDL_SCANCODE_UP, 72, true},       {SDL_SCANCODE_KP_8, 72, false},
              {SDL_SCANCODE_DELETE, 83, true},   {SDL_SCANCODE_ESCAPE, 1, false},
              {SDL_SCANCODE_1, 2, false},        {SDL_SCANCODE_0, 11, false},
              {SDL_SCANCODE_Q, 16, false},       {SDL_SCANCODE_A, 30, false},
              {SDL_SCANCODE_Z, 44, false},       {SDL_SCANCODE_SPACE, 57, false},
              {SDL_SCANCODE_F1, 59, false},      {SDL_SCANCODE_F10, 68, false},
              {SDL_SCANCODE_F11, 87, false},     {SDL_SCANCODE_F12, 88, false},
              {SDL_SCANCODE_UNKNOWN, 0, false},  {SDL_SCANCODE_AUDIOPLAY, 0, false}};
  for (const auto& key : keys) {
    const PcScanCode pc = pc_scan_code(key.sdl);
    EXPECT_EQ(pc.scan, key.scan) << "SDL scancode " << key.sdl;
    EXPECT_EQ(pc.extended, key.extended) << "SDL scancode " << key.sdl;
  }
  // Every code, and those past SDL's, lands in the table; unknown keys are never extended.
  for (int sdl = -1; sdl <= SDL_NUM_SCANCODES; ++sdl) {
    const PcScanCode pc = pc_scan_code(sdl);
    ASSERT_TRUE(pc.scan >= 0 && pc.scan < 128 && !(pc.scan == 0 && pc.extended)) << sdl;
  }
}

// Function keys: Alt wins over Ctrl, and Ctrl over Shift; letters: Caps Lock's upper case keeps
// Alt's special code, AltGr+Q's '@' stays '@'; past the table only the character counts; extended
// keys outside the table (the Windows keys) give nothing; scan 72 unextended is the keypad's 8.
TEST(TranslateKey, Table) {
  const int x = KEY_MOD_EXTENDED, shift = KEY_MOD_SHIFT, ctrl = KEY_MOD_CTRL, alt = KEY_MOD_ALT,
            right_alt = KEY_MOD_RIGHT_ALT;
  // character, scan code, layout's character, modifiers, code
  // clang-format off
  const int rows[][5] = {
     {0, 59, 0, 0, 0x3BFF}, {0, 59, 0, shift, 0x54FF}, {0, 59, 0, ctrl, 0x5EFF},
     {0, 88, 0, right_alt, 0x8CFF}, {0, 59, 0, ctrl | alt, 0x68FF},
     {0, 59, 0, KEY_MOD_RIGHT_CTRL | right_alt | shift, 0x68FF}, {0, 59, 0, ctrl | shift, 0x5EFF},
     {0, 62, 0, alt, CLOSE_KEY_CODE}, {0, 62, 0, right_alt, CLOSE_KEY_CODE},
     {'a', 30, 'a', 0, 'a'}, {'A', 30, 'a', shift, 'A'}, {1, 30, 'a', ctrl, 1},
     {'q', 16, 'q', alt, 0x10FF}, {'Q', 16, 'q', alt, 0x10FF},
     {'@', 16, 'q', ctrl | right_alt, '@'}, {0, 89, 0, 0, -1}, {0x84, 100, 0, 0, 0x84},
     {0, 72, 0, x | ctrl, 0x8DFF}, {0, 83, 0, x | alt, 0xA3FF}, {0, 28, 0, x | ctrl, 0x0A},
     {0, 53, 0, x | shift, 0x3F}, {0, 91, 0, x, -1}, {'8', 72, '8', 0, '8'}};
  // clang-format on
  for (const auto& [character, scan, layout, modifiers, code] : rows)
    EXPECT_EQ(translate_key(character, scan, layout, modifiers), code) << scan << " " << modifiers;
}

TEST(TranslateKey, OnlyAltF4GivesTheCloseCodeAndModifierKeysAloneGiveNothing) {
  const int alt = KEY_MOD_ALT | KEY_MOD_RIGHT_ALT,
            modifier_keys[] = {0, 29, 42, 54, 56, 58, 69, 70, 84, 85, 86};
  for (int scan = 0; scan < 128; ++scan) {
    const bool modifier_key = std::count(modifier_keys, modifier_keys + 11, scan);
    for (int modifiers : {0, KEY_MOD_SHIFT, KEY_MOD_CTRL, KEY_MOD_RIGHT_CTRL, KEY_MOD_ALT,
                          KEY_MOD_RIGHT_ALT, KEY_MOD_SHIFT | KEY_MOD_CTRL, KEY_MOD_CTRL | alt}) {
      for (int extended : {0, KEY_MOD_EXTENDED}) {
        const int code = translate_key(0, scan, 0, modifiers | extended);
        EXPECT_EQ(code == CLOSE_KEY_CODE, scan == 62 && (modifiers & alt) && !extended) << scan;
        EXPECT_TRUE(!modifier_key || extended || code == -1) << scan << " " << modifiers;
      }
    }
  }
}

// The key-hit flag is set by a push, cleared by a pop, a take or a reset.
TEST_F(Keyboard, TheRingKeepsTheLastFifteenInOrderSpecialCodesReadAsTwoBytesAndSetTheKeyHitFlag) {
  EXPECT_EQ(read_key(), "");
  for (int i = 1; i <= 15; ++i) push_key(i);
  for (int i = 1; i <= 15; ++i) EXPECT_EQ(pop_key(), i);
  EXPECT_EQ(pop_key(), 0);
  for (int i = 0; i < 20; ++i) push_key('a' + i);
  for (int i = 5; i < 20; ++i) EXPECT_EQ(read_key(), std::string(1, static_cast<char>('a' + i)));
  EXPECT_EQ(read_key(), "");
  push_key(CLOSE_KEY_CODE);
  push_key(0x3BFF);
  push_key(0xE9);  // a code page 437 character above 127 stays one byte
  EXPECT_EQ(drain(), std::string("\xFF\x6B\xFF\x3B\xE9", 5));
  push_key('x');
  EXPECT_EQ(take_key_hit(), 1);
  EXPECT_EQ(take_key_hit(), 0);
  push_key('y');
  EXPECT_EQ(pop_key(), 'x');
  EXPECT_EQ(take_key_hit(), 0);  // the pop cleared it though a key is still waiting
  EXPECT_EQ(pop_key(), 'y');
  push_key('z');
  reset_keyboard();
  EXPECT_EQ(take_key_hit(), 0);
  EXPECT_EQ(pop_key(), 0);
}

struct Press {
  SDL_Scancode scancode;
  SDL_Keycode sym;
  int modifiers = 0;
  Uint8 repeat = 0;
  const char* text = "";  // the text event that follows, if any
};

// Each auto-repeat of a held key queues its code again; system keys queue nothing, ever.
TEST_F(Keyboard, KeyEventsQueueTheirCodesOncePerPressAndRepeat) {
  const SDL_Scancode f4 = SDL_SCANCODE_F4, alt = SDL_SCANCODE_LALT, up = SDL_SCANCODE_UP,
                     esc = SDL_SCANCODE_ESCAPE, f10 = SDL_SCANCODE_F10, x = SDL_SCANCODE_X;
  // clang-format off
  const struct {
    const char* what;
    std::vector<Press> presses;
    std::string codes;
  } rows[] = {
      {"special keys push their codes",
       {{SDL_SCANCODE_TAB, SDLK_TAB, KMOD_RSHIFT | KMOD_CAPS}, {up, SDLK_UP},
        {SDL_SCANCODE_F12, SDLK_F12, KMOD_RCTRL}, {SDL_SCANCODE_LEFT, SDLK_LEFT, KMOD_LCTRL},
        {SDL_SCANCODE_KP_7, SDLK_KP_7}},
       std::string("\xFF\x0F\xFF\x48\xFF\x8A\xFF\x73\xFF\x47", 10)},
      {"with Num Lock the keypad types through the text event",
       {{SDL_SCANCODE_KP_7, SDLK_KP_7, KMOD_NUM}}, ""},
      {"letters come from the text event in code page 437",
       {{SDL_SCANCODE_A, SDLK_a, 0, false, "a\xC3\xA9"}}, "a\x82"},
      {"control characters come from the key press",
       {{esc, SDLK_ESCAPE}, {SDL_SCANCODE_RETURN, SDLK_RETURN},
        {SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE}, {SDL_SCANCODE_C, SDLK_c, KMOD_LCTRL},
        {SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER}},
       "\x1B\x0D\x08\x03\x0D"},
      {"held keys repeat their codes",
       {{up, SDLK_UP}, {up, SDLK_UP, 0, true}, {esc, SDLK_ESCAPE}, {esc, SDLK_ESCAPE, 0, true},
        {x, SDLK_x, 0, false, "x"}, {x, SDLK_x, 0, true, "x"}},
       std::string("\xFF\x48\xFF\x48\x1B\x1Bxx", 8)},
      {"Alt, Alt+F4 held and repeating, F10 and Alt+letters queue nothing",
       {{alt, SDLK_LALT, KMOD_LALT}, {alt, SDLK_LALT, KMOD_LALT, true}, {f4, SDLK_F4, KMOD_LALT},
        {f4, SDLK_F4, KMOD_LALT, true}, {f4, SDLK_F4, KMOD_RALT | KMOD_NUM, true}, {f10, SDLK_F10},
        {f10, SDLK_F10, 0, true}, {SDL_SCANCODE_Q, SDLK_q, KMOD_LALT, true, "q"}},
       ""}};
  // clang-format on
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    reset_keyboard();
    for (const Press& press : row.presses) {
      SDL_KeyboardEvent key{};
      key.type = SDL_KEYDOWN, key.state = SDL_PRESSED, key.repeat = press.repeat;
      key.keysym.scancode = press.scancode, key.keysym.sym = press.sym;
      key.keysym.mod = static_cast<Uint16>(press.modifiers);
      queue_key_press(key);
      SDL_TextInputEvent text{};
      text.type = SDL_TEXTINPUT;
      std::strncpy(text.text, press.text, sizeof text.text - 1);
      if (*press.text) queue_text_input(text, press.modifiers);
    }
    EXPECT_EQ(take_key_hit(), row.codes.empty() ? 0 : 1);
    EXPECT_EQ(drain(), row.codes);
  }
  // The extended flag travels with the modifier bits.
  EXPECT_EQ(key_modifier_bits(KMOD_LALT, true), KEY_MOD_ALT | KEY_MOD_EXTENDED);
}

// ASCII passes; the upper half's first and last bytes and two- and three-byte sequences are
// looked up; missing characters and bad text (cut, overlong) become question marks.
TEST(CodePage437, TypedTextIsConvertedFromUtf8) {
  // clang-format off
  const std::pair<const char*, const char*> rows[] = {
      {"Hello, 1!", "Hello, 1!"}, {"\xC3\x87\xC2\xA0", "\x80\xFF"}, {"\xE2\x82\xA7", "\x9E"},
      {"\xC3\xA4\xC3\xB6\xC3\xBC", "\x84\x94\x81"}, {"\xE2\x82\xAC", "?"}, {"\xFF", "?"},
      {"\xF0\x9F\x98\x80", "?"}, {"a\xC3z", "a?z"}, {"\xC0\xAF", "?"}};
  // clang-format on
  for (const auto& [utf8, bytes] : rows) EXPECT_EQ(utf8_to_code_page_437(utf8), bytes) << utf8;
}

}  // namespace
