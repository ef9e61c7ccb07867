// Key code tables by PC scan code (set 1). A value below 256 is a character, 256 or more a special
// key with its code in the high byte, 0 none. The columns are plain, Shift, Ctrl, Alt.
#include "platform/keyboard.h"

namespace {
constexpr KeyRow letter(char lower, int scan) {
  return {static_cast<uint16_t>(lower), static_cast<uint16_t>(lower - 32),
          static_cast<uint16_t>(lower - 'a' + 1), static_cast<uint16_t>(scan << 8)};
}
// Digits and the two keys after them: US characters, and scan * 256 + 0x7600 with Alt.
constexpr KeyRow digit_row(char plain, char shift, uint16_t ctrl, int scan) {
  return {static_cast<uint16_t>(plain), static_cast<uint16_t>(shift), ctrl,
          static_cast<uint16_t>((scan << 8) + 0x7600)};
}
// Punctuation: US characters, the scan code as special code with Alt.
constexpr KeyRow punctuation(char plain, char shift, uint16_t ctrl, int scan) {
  return {static_cast<uint16_t>(plain), static_cast<uint16_t>(shift), ctrl,
          static_cast<uint16_t>(scan << 8)};
}
// Keypad keys that are cursor keys without Num Lock: Shift gives the digit.
constexpr KeyRow keypad(int scan, char digit, uint16_t ctrl) {
  return {static_cast<uint16_t>(scan << 8), static_cast<uint16_t>(digit), ctrl, 0};
}
constexpr KeyRow kNone = {0, 0, 0, 0};
}  // namespace

constexpr KeyRow ScanCodeKeys[89] = {
    kNone,                               // 0
    {0x001B, 0x001B, 0x001B, 0x0100},    // 1 Esc
    digit_row('1', '!', 0x0000, 2),      // 2
    digit_row('2', '@', 0x0300, 3),      // 3
    digit_row('3', '#', 0x0000, 4),      // 4
    digit_row('4', '$', 0x0000, 5),      // 5
    digit_row('5', '%', 0x0000, 6),      // 6
    digit_row('6', '^', 0x001E, 7),      // 7
    digit_row('7', '&', 0x0000, 8),      // 8
    digit_row('8', '*', 0x0000, 9),      // 9
    digit_row('9', '(', 0x0000, 10),     // 10
    digit_row('0', ')', 0x0000, 11),     // 11
    digit_row('-', '_', 0x001F, 12),     // 12
    digit_row('=', '+', 0x0000, 13),     // 13
    {0x0008, 0x0008, 0x007F, 0xE000},    // 14 Backspace
    {0x0009, 0x0F00, 0x9400, 0x0F00},    // 15 Tab
    letter('q', 16),                     // 16
    letter('w', 17),                     // 17
    letter('e', 18),                     // 18
    letter('r', 19),                     // 19
    letter('t', 20),                     // 20
    letter('y', 21),                     // 21
    letter('u', 22),                     // 22
    letter('i', 23),                     // 23
    letter('o', 24),                     // 24
    letter('p', 25),                     // 25
    punctuation('[', '{', 0x001B, 26),   // 26
    punctuation(']', '}', 0x001D, 27),   // 27
    {0x000D, 0x000D, 0x000A, 0x1C00},    // 28 Enter
    kNone,                               // 29 Ctrl
    letter('a', 30),                     // 30
    letter('s', 31),                     // 31
    letter('d', 32),                     // 32
    letter('f', 33),                     // 33
    letter('g', 34),                     // 34
    letter('h', 35),                     // 35
    letter('j', 36),                     // 36
    letter('k', 37),                     // 37
    letter('l', 38),                     // 38
    punctuation(';', ':', 0x0000, 39),   // 39
    punctuation('\'', '"', 0x0000, 40),  // 40
    punctuation('`', '~', 0x0000, 41),   // 41
    kNone,                               // 42 left Shift
    punctuation('\\', '|', 0x001C, 43),  // 43
    letter('z', 44),                     // 44
    letter('x', 45),                     // 45
    letter('c', 46),                     // 46
    letter('v', 47),                     // 47
    letter('b', 48),                     // 48
    letter('n', 49),                     // 49
    letter('m', 50),                     // 50
    punctuation(',', '<', 0x0000, 51),   // 51
    punctuation('.', '>', 0x0000, 52),   // 52
    punctuation('/', '?', 0x0000, 53),   // 53
    kNone,                               // 54 right Shift
    {0x002A, 0x002A, 0x9600, 0x3700},    // 55 keypad *
    kNone,                               // 56 Alt
    {0x0020, 0x0020, 0x0020, 0x0020},    // 57 Space
    kNone,                               // 58 Caps Lock
    {0x3B00, 0x5400, 0x5E00, 0x6800},    // 59 F1
    {0x3C00, 0x5500, 0x5F00, 0x6900},    // 60 F2
    {0x3D00, 0x5600, 0x6000, 0x6A00},    // 61 F3
    {0x3E00, 0x5700, 0x6100, 0x6B00},    // 62 F4
    {0x3F00, 0x5800, 0x6200, 0x6C00},    // 63 F5
    {0x4000, 0x5900, 0x6300, 0x6D00},    // 64 F6
    {0x4100, 0x5A00, 0x6400, 0x6E00},    // 65 F7
    {0x4200, 0x5B00, 0x6500, 0x6F00},    // 66 F8
    {0x4300, 0x5C00, 0x6600, 0x7000},    // 67 F9
    {0x4400, 0x5D00, 0x6700, 0x7100},    // 68 F10
    kNone,                               // 69 Num Lock
    kNone,                               // 70 Scroll Lock
    keypad(71, '7', 0x7700),             // 71 keypad 7 / Home
    keypad(72, '8', 0x8D00),             // 72 keypad 8 / Up
    keypad(73, '9', 0x8400),             // 73 keypad 9 / Page Up
    {0x002D, 0x002D, 0x8E00, 0x4A00},    // 74 keypad -
    keypad(75, '4', 0x7300),             // 75 keypad 4 / Left
    keypad(76, '5', 0x8F00),             // 76 keypad 5
    keypad(77, '6', 0x7400),             // 77 keypad 6 / Right
    {0x002B, 0x002B, 0x9000, 0x4E00},    // 78 keypad +
    keypad(79, '1', 0x7500),             // 79 keypad 1 / End
    keypad(80, '2', 0x9100),             // 80 keypad 2 / Down
    keypad(81, '3', 0x7600),             // 81 keypad 3 / Page Down
    keypad(82, '0', 0x9200),             // 82 keypad 0 / Insert
    keypad(83, '.', 0x9300),             // 83 keypad . / Delete
    kNone,                               // 84
    kNone,                               // 85
    kNone,                               // 86
    {0x8500, 0x8700, 0x8900, 0x8B00},    // 87 F11
    {0x8600, 0x8800, 0x8A00, 0x8C00},    // 88 F12
};

constexpr ExtendedKeyRow ExtendedKeys[12] = {
    {28, 0x000D, 0x000D, 0x000A, 0xA600},  // keypad Enter
    {53, 0x002F, 0x003F, 0x9500, 0xA400},  // keypad /
    {71, 0x4700, 0x4700, 0x7700, 0x9700},  // Home
    {72, 0x4800, 0x4800, 0x8D00, 0x9800},  // Up
    {73, 0x4900, 0x4900, 0x8400, 0x9900},  // Page Up
    {75, 0x4B00, 0x4B00, 0x7300, 0x9B00},  // Left
    {77, 0x4D00, 0x4D00, 0x7400, 0x9D00},  // Right
    {79, 0x4F00, 0x4F00, 0x7500, 0x9F00},  // End
    {80, 0x5000, 0x5000, 0x9100, 0xA000},  // Down
    {81, 0x5100, 0x5100, 0x7600, 0xA100},  // Page Down
    {82, 0x5200, 0x5200, 0x9200, 0xA200},  // Insert
    {83, 0x5300, 0x5300, 0x9300, 0xA300},  // Delete
};

namespace {
// A special code keeps its low byte free for the 0xFF that marks it.
constexpr bool well_formed(uint16_t value) {
  return value < 256 || (value & 0xFF) == 0;
}
constexpr bool tables_well_formed() {
  for (const KeyRow& r : ScanCodeKeys)
    if (!well_formed(r.plain) || !well_formed(r.shift) || !well_formed(r.ctrl) ||
        !well_formed(r.alt))
      return false;
  // translate_key gives an extended row's value as it stands: every column holds a code.
  for (const ExtendedKeyRow& r : ExtendedKeys)
    if (!r.plain || !r.shift || !r.ctrl || !r.alt || !well_formed(r.plain) ||
        !well_formed(r.shift) || !well_formed(r.ctrl) || !well_formed(r.alt))
      return false;
  return true;
}
static_assert(tables_well_formed());
}  // namespace
