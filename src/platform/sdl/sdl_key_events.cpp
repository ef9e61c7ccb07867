#include "platform/sdl/sdl_key_events.h"

#include <cstring>

#include "platform/code_page_437.h"
#include "platform/keyboard.h"
#include "platform/sdl/scan_codes.h"

namespace {
// Shifted characters of the US layout, the layout the key tables describe.
int us_shifted(int c) {
  static const char kPlain[] = "1234567890-=[];'`\\,./";
  static const char kShifted[] = "!@#$%^&*()_+{}:\"~|<>?";
  const char* at = c != 0 ? std::strchr(kPlain, c) : nullptr;
  return at != nullptr ? kShifted[at - kPlain] : c;
}

// The character the key produces with the modifiers held, 0 for none, as the key tables expect
// it: letters follow Shift and Caps Lock, Ctrl makes control codes.
int produced_character(const SDL_Keysym& key) {
  const bool ctrl = key.mod & KMOD_CTRL;
  const bool shift = key.mod & KMOD_SHIFT;
  const bool num_lock = key.mod & KMOD_NUM;
  switch (key.scancode) {
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER:
      return ctrl ? 0x0A : 0x0D;
    case SDL_SCANCODE_BACKSPACE:
      return ctrl ? 0x7F : 0x08;
    case SDL_SCANCODE_TAB:
      return 0x09;
    case SDL_SCANCODE_ESCAPE:
      return 0x1B;
    case SDL_SCANCODE_KP_DIVIDE:
      return '/';
    case SDL_SCANCODE_KP_MULTIPLY:
      return '*';
    case SDL_SCANCODE_KP_MINUS:
      return '-';
    case SDL_SCANCODE_KP_PLUS:
      return '+';
    case SDL_SCANCODE_KP_PERIOD:
      return num_lock && !shift ? '.' : 0;
    default:
      break;
  }
  if (key.scancode >= SDL_SCANCODE_KP_1 && key.scancode <= SDL_SCANCODE_KP_0) {
    if (!num_lock || shift) return 0;
    return key.scancode == SDL_SCANCODE_KP_0 ? '0' : '1' + (key.scancode - SDL_SCANCODE_KP_1);
  }
  const int sym = key.sym;
  if (sym >= 'a' && sym <= 'z') {
    if (ctrl) return sym - 'a' + 1;
    const bool upper = shift != static_cast<bool>(key.mod & KMOD_CAPS);
    return upper ? sym - 32 : sym;
  }
  if (sym >= ' ' && sym < 127) {
    if (ctrl) {
      switch (sym) {
        case '[':
          return 0x1B;
        case '\\':
          return 0x1C;
        case ']':
          return 0x1D;
        case ' ':
          return ' ';
        default:
          return 0;
      }
    }
    return shift ? us_shifted(sym) : sym;
  }
  return 0;
}

// The layout's own unshifted character for the key, 0 for keys without one: what it produces
// with no modifier but Num Lock.
int layout_character(const SDL_Keysym& key) {
  SDL_Keysym plain = key;
  plain.mod = static_cast<Uint16>(key.mod & KMOD_NUM);
  return produced_character(plain);
}

bool is_system_key(const SDL_Keysym& key) {
  return (key.mod & KMOD_ALT) || key.scancode == SDL_SCANCODE_F10 ||
         key.scancode == SDL_SCANCODE_LALT || key.scancode == SDL_SCANCODE_RALT;
}
}  // namespace

int key_modifier_bits(int sdl_modifiers, bool extended) {
  int bits = extended ? KEY_MOD_EXTENDED : 0;
  if (sdl_modifiers & KMOD_SHIFT) bits |= KEY_MOD_SHIFT;
  if (sdl_modifiers & KMOD_LCTRL) bits |= KEY_MOD_CTRL;
  if (sdl_modifiers & KMOD_RCTRL) bits |= KEY_MOD_RIGHT_CTRL;
  if (sdl_modifiers & KMOD_LALT) bits |= KEY_MOD_ALT;
  if (sdl_modifiers & KMOD_RALT) bits |= KEY_MOD_RIGHT_ALT;
  return bits;
}

void queue_key_press(const SDL_KeyboardEvent& event) {
  const SDL_Keysym& key = event.keysym;
  if (is_system_key(key)) return;
  const PcScanCode pc = pc_scan_code(key.scancode);
  if (pc.scan == 0) return;
  const int code = translate_key(produced_character(key), pc.scan, layout_character(key),
                                 key_modifier_bits(key.mod, pc.extended));
  const bool control_character = (code > 0 && code < 32) || code == 127;
  if (code >= 256 || control_character) push_key(code);
}

void queue_text_input(const SDL_TextInputEvent& event, int sdl_modifiers) {
  if (sdl_modifiers & KMOD_ALT) return;
  for (char c : utf8_to_code_page_437(event.text)) push_key(static_cast<unsigned char>(c));
}
