#pragma once
// Key presses and typed text from SDL turned into key codes in the key ring.
#include <SDL2/SDL_events.h>

// translate_key's modifier bits for SDL's modifier state and the key's extended flag.
int key_modifier_bits(int sdl_modifiers, bool extended);

// A key press queues special keys and the control characters that SDL's text input never
// carries; printable characters arrive through queue_text_input. Nothing is queued for system
// keys (pressed with Alt held, or F10), so Alt+F4 reaches the program only as held keys.
void queue_key_press(const SDL_KeyboardEvent& event);

// Each typed character as a code page 437 byte, unless Alt is held (then the keys are commands,
// not text). sdl_modifiers is the modifier state of the key press that produced the text.
void queue_text_input(const SDL_TextInputEvent& event, int sdl_modifiers);
