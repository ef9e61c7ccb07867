#pragma once
// Clock and sleeping.

// Seconds on a steady clock since an arbitrary fixed origin.
double timer_seconds();

// Sleeps n milliseconds; -1 sleeps until a key is hit. Waits of 100 ms or more go in 50 ms
// slices and end early when a key was hit.
void sleep_ms(int ms);
