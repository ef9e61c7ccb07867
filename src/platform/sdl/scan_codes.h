#pragma once
// SDL's keyboard scancodes (USB usage numbers) as PC scan codes (set 1), the numbering that the
// key state and the key code tables use.

struct PcScanCode {
  int scan;       // 0..127; 0 for keys the PC keyboard has no code for
  bool extended;  // sent with the E0 prefix: right Ctrl and Alt, keypad Enter and /, the grey block
};

PcScanCode pc_scan_code(int sdl_scancode);
