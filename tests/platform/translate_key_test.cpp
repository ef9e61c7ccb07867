#include <gtest/gtest.h>

#include "platform/keyboard.h"

namespace {
constexpr int kModifierSets[] = {0,
                                 KEY_MOD_SHIFT,
                                 KEY_MOD_CTRL,
                                 KEY_MOD_RIGHT_CTRL,
                                 KEY_MOD_ALT,
                                 KEY_MOD_RIGHT_ALT,
                                 KEY_MOD_SHIFT | KEY_MOD_CTRL,
                                 KEY_MOD_CTRL | KEY_MOD_ALT};

TEST(TranslateKey, FunctionKeyColumnsAltWinsOverCtrlAndCtrlOverShift) {
  EXPECT_EQ(translate_key(0, 59, 0, 0), 0x3BFF);
  EXPECT_EQ(translate_key(0, 59, 0, KEY_MOD_SHIFT), 0x54FF);
  EXPECT_EQ(translate_key(0, 59, 0, KEY_MOD_CTRL), 0x5EFF);
  EXPECT_EQ(translate_key(0, 88, 0, KEY_MOD_RIGHT_ALT), 0x8CFF);
  EXPECT_EQ(translate_key(0, 59, 0, KEY_MOD_CTRL | KEY_MOD_ALT), 0x68FF);
  EXPECT_EQ(translate_key(0, 59, 0, KEY_MOD_RIGHT_CTRL | KEY_MOD_RIGHT_ALT | KEY_MOD_SHIFT),
            0x68FF);
  EXPECT_EQ(translate_key(0, 59, 0, KEY_MOD_CTRL | KEY_MOD_SHIFT), 0x5EFF);
}

TEST(TranslateKey, AltF4IsTheCloseCodeAndNothingElseIs) {
  EXPECT_EQ(translate_key(0, 62, 0, KEY_MOD_ALT), CLOSE_KEY_CODE);
  EXPECT_EQ(translate_key(0, 62, 0, KEY_MOD_RIGHT_ALT), CLOSE_KEY_CODE);
  for (int scan = 0; scan < 128; ++scan) {
    for (int modifiers : kModifierSets) {
      for (int extended : {0, KEY_MOD_EXTENDED}) {
        if (scan == 62 && (modifiers & (KEY_MOD_ALT | KEY_MOD_RIGHT_ALT)) && !extended) continue;
        const int code = translate_key(0, scan, 0, modifiers | extended);
        EXPECT_NE(code, CLOSE_KEY_CODE) << "scan " << scan << " modifiers " << modifiers;
      }
    }
  }
}

// Other character keys take the same paths; control keys (Esc, Enter, Shift+Tab) are checked
// through the key events.
TEST(TranslateKey, Letters) {
  EXPECT_EQ(translate_key('a', 30, 'a', 0), 'a');
  EXPECT_EQ(translate_key('A', 30, 'a', KEY_MOD_SHIFT), 'A');
  EXPECT_EQ(translate_key(1, 30, 'a', KEY_MOD_CTRL), 1);
  EXPECT_EQ(translate_key('q', 16, 'q', KEY_MOD_ALT), 0x10FF);
  // Caps Lock makes the character upper case; the special code still stands.
  EXPECT_EQ(translate_key('Q', 16, 'q', KEY_MOD_ALT), 0x10FF);
  // A layout that turns the key into another character (AltGr+Q giving '@') delivers that one.
  EXPECT_EQ(translate_key('@', 16, 'q', KEY_MOD_CTRL | KEY_MOD_RIGHT_ALT), '@');
}

TEST(TranslateKey, ModifierKeysAloneGiveNothing) {
  for (int scan : {0, 29, 42, 54, 56, 58, 69, 70, 84, 85, 86})
    for (int modifiers : kModifierSets) EXPECT_EQ(translate_key(0, scan, 0, modifiers), -1);
}

TEST(TranslateKey, ScanCodesPastTheTableGiveTheCharacterOnly) {
  EXPECT_EQ(translate_key(0, 89, 0, 0), -1);
  EXPECT_EQ(translate_key(0x84, 100, 0, 0), 0x84);
}

TEST(TranslateKey, ExtendedKeys) {
  EXPECT_EQ(translate_key(0, 72, 0, KEY_MOD_EXTENDED | KEY_MOD_CTRL), 0x8DFF);
  EXPECT_EQ(translate_key(0, 83, 0, KEY_MOD_EXTENDED | KEY_MOD_ALT), 0xA3FF);
  EXPECT_EQ(translate_key(0, 28, 0, KEY_MOD_EXTENDED | KEY_MOD_CTRL), 0x0A);
  EXPECT_EQ(translate_key(0, 53, 0, KEY_MOD_EXTENDED | KEY_MOD_SHIFT), 0x3F);
  // Extended keys outside the table, such as the Windows keys, give nothing.
  EXPECT_EQ(translate_key(0, 91, 0, KEY_MOD_EXTENDED), -1);
  // Scan 72 without the extended flag is the keypad's 8, typing its digit under Num Lock.
  EXPECT_EQ(translate_key('8', 72, '8', 0), '8');
}
}  // namespace
