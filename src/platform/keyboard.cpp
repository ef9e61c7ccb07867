#include "platform/keyboard.h"

#include "platform/presenter_lock.h"

namespace {
// The ring keeps one slot free, so 16 slots hold at most 15 codes.
struct KeyRing {
  int slots[16] = {};
  int write = 0;
  int read = 0;
  int key_hit = 0;
};
KeyRing ring;

int swap_ascii_case(int c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c >= 'A' && c <= 'Z') return c + 32;
  return c;
}

uint16_t pick_column(uint16_t plain, uint16_t shift, uint16_t ctrl, uint16_t alt, int modifiers) {
  if (modifiers & (KEY_MOD_ALT | KEY_MOD_RIGHT_ALT)) return alt;
  if (modifiers & (KEY_MOD_CTRL | KEY_MOD_RIGHT_CTRL)) return ctrl;
  if (modifiers & KEY_MOD_SHIFT) return shift;
  return plain;
}
}  // namespace

void reset_keyboard() {
  take_presenter_lock();
  ring = KeyRing{};
  release_presenter_lock();
}

void push_key(int code) {
  take_presenter_lock();
  ring.slots[ring.write] = code;
  ring.write = (ring.write + 1) & 15;
  if (ring.write == ring.read) ring.read = (ring.read + 1) & 15;
  ring.key_hit = 1;
  release_presenter_lock();
}

int pop_key() {
  take_presenter_lock();
  int code = 0;
  if (ring.read != ring.write) {
    code = ring.slots[ring.read];
    ring.read = (ring.read + 1) & 15;
  }
  take_key_hit();
  release_presenter_lock();
  return code;
}

int take_key_hit() {
  take_presenter_lock();
  const int hit = ring.key_hit;
  ring.key_hit = 0;
  release_presenter_lock();
  return hit;
}

std::string read_key() {
  const int code = pop_key();
  if (code == 0) return std::string();
  if (code < 256) return std::string(1, static_cast<char>(code));
  return std::string{static_cast<char>(code & 0xFF), static_cast<char>((code >> 8) & 0xFF)};
}

int translate_key(int character, int scan, int virtual_key, int modifiers) {
  if (!(modifiers & KEY_MOD_EXTENDED) || character != 0) {
    if (scan >= 0 && scan < 89) {
      const KeyRow& row = ScanCodeKeys[scan];
      const int layout_character = (virtual_key > 0 && virtual_key < 256) ? virtual_key : 0;
      int code = pick_column(row.plain, row.shift, row.ctrl, row.alt, modifiers);
      if (!(modifiers & (KEY_MOD_ALT | KEY_MOD_RIGHT_ALT | KEY_MOD_CTRL | KEY_MOD_RIGHT_CTRL |
                         KEY_MOD_SHIFT)) &&
          character != 0)
        code = layout_character;
      // A special code only stands when the key still means what the table assumes; a layout
      // that turns the key into another character delivers that character instead.
      if (code >= 256 &&
          (character == layout_character || character == swap_ascii_case(layout_character)))
        return code | 0xFF;
    }
    return character != 0 ? character : -1;
  }
  for (const ExtendedKeyRow& row : ExtendedKeys) {
    if (row.scan != scan) continue;
    const int value = pick_column(row.plain, row.shift, row.ctrl, row.alt, modifiers);
    if (value < 256) return value;
    return value | 0xFF;
  }
  return -1;
}
