#pragma once
// The system's sound libraries, as far as the program must deal with them beside SDL.

// Before SDL looks for a sound device: where the system's sound library prints its own errors on
// standard error (ALSA reports a missing card that way), it prints nothing; the intro says what
// it needs to itself. Safe to call more than once.
void quiet_sound_library();
