#pragma once
// The intro drawn frame by frame without a window at a fixed frame rate, its music decoded
// offline beside it: frame n's analyser bars read the sound heard at n / rate seconds, and the
// fade lowers the volume frame by frame as it does live. What a capture records.
#include <cstdint>
#include <string>

// Opens the window-less screen, prepares every effect and, unless `module_file` is empty, the
// module's music. 0 on success.
int start_offline_intro(uint32_t seed, int rate, const std::string& module_file);

// Most sound frames one picture can carry at this rate.
int offline_sound_capacity(int rate);

// Draws the next frame on the work page (seeing a close request in it when `close`) and writes
// its sound, after the fade's volume, into `sound`. Returns the number of sound frames.
int draw_offline_frame(bool close, float* sound);

// The finished picture of the last frame drawn: the work page, before it is shown.
const uint32_t* offline_picture(int* pitch);

// False once the fade's last frame has been drawn.
bool offline_frames_left();
