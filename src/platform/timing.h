#pragma once
// Clock and sleeping.

// Seconds on a steady clock since an arbitrary fixed origin.
double timer_seconds();

// Sleeps n milliseconds; -1 sleeps until a key is hit. Waits of 100 ms or more go in 50 ms
// slices and end early when a key was hit.
void sleep_ms(int ms);

// sleep_ms's slicing with the pause and the key-hit test supplied by the caller, so the rule can be
// checked without waiting. take_hit returns and clears the key-hit flag.
void sleep_in_slices(int ms, void (*pause_ms)(int ms), int (*take_hit)());
