#pragma once
// Key codes, the key ring and the translation of key events into codes.
#include <cstdint>
#include <string>

// The code a close request queues: special code 0x6B; as a string the bytes 0xFF 0x6B.
constexpr int CLOSE_KEY_CODE = 0x6BFF;

// Modifier bits of translate_key.
constexpr int KEY_MOD_SHIFT = 0x10;
constexpr int KEY_MOD_CTRL = 0x08;
constexpr int KEY_MOD_RIGHT_CTRL = 0x04;
constexpr int KEY_MOD_ALT = 0x02;
constexpr int KEY_MOD_RIGHT_ALT = 0x01;
constexpr int KEY_MOD_EXTENDED = 0x100;

struct KeyRow {
  uint16_t plain, shift, ctrl, alt;
};
struct ExtendedKeyRow {
  uint8_t scan;
  uint16_t plain, shift, ctrl, alt;
};
extern const KeyRow ScanCodeKeys[89];
extern const ExtendedKeyRow ExtendedKeys[12];

// Empties the ring and clears the key-hit flag: for test fixtures, so that keys an earlier test
// left waiting do not reach the next.
void reset_keyboard();
// Queues a code; with 15 codes waiting the oldest is dropped. Sets the key-hit flag.
void push_key(int code);
// Oldest code or 0; clears the key-hit flag.
int pop_key();
// The key-hit flag, which is cleared.
int take_key_hit();
// pop_key as a string: empty, one byte, or 0xFF followed by the special code.
std::string read_key();
// Key code for a key event, or -1 for none.
int translate_key(int character, int scan, int virtual_key, int modifiers);
