#pragma once
// The screen's view of the keyboard.

// -1 while the key with this scan code is held, 0 otherwise (and for codes outside 0..127).
int key_down(int scan_code);
