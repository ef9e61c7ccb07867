#pragma once
// The thin music layer the intro calls.
#include <cstdint>
#include <string>

// File the music is read from; the intro sets it to "module.xm".
extern std::string MusicFileName;
// Handle of the playing music; 0 when it could not be started.
extern uint32_t MusicChannel;

// Starts reading and decoding MusicFileName on a worker thread, so that a later start_music finds
// it ready instead of loading it then. Optional.
void begin_loading_music();
// Waits for begin_loading_music's worker and drops what it loaded: for a start-up that ends before
// the music starts.
void finish_loading_music();
// Opens the output, loads MusicFileName, starts it looping; stores the handle in MusicChannel.
void start_music();
// Linear gain 0..1 of MusicChannel.
void set_music_volume(float volume);
// The gain the playing music is set to; 0 when nothing plays.
float music_volume();
// Left peak in bits 0-15, right in bits 16-31, each 0..32768; 0 for handle 0.
uint32_t music_level(uint32_t channel);
// 512 FFT magnitudes of what is heard now; leaves the buffer untouched for handle 0.
void music_spectrum(uint32_t channel, float* magnitudes);
