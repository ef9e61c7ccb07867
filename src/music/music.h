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
// Reads and decodes MusicFileName now, so that start_music finds it ready. False, with why set,
// when the file cannot be read or is no module that can be played.
bool load_music(std::string* why);
// Opens the output, loads MusicFileName, starts it looping; stores the handle in MusicChannel.
void start_music();
// Linear gain 0..1 of MusicChannel.
void set_music_volume(float volume);
// A gain 0..1 under every volume set, for the user's own level; before start_music.
void set_music_master_volume(float volume);
// One pass of the playing module in seconds, and how much of it has been heard; 0 without music.
double music_length_seconds();
double music_heard_seconds();
// Left peak in bits 0-15, right in bits 16-31, each 0..32768; 0 for handle 0.
uint32_t music_level(uint32_t channel);
// 512 FFT magnitudes of what is heard now; leaves the buffer untouched for handle 0.
void music_spectrum(uint32_t channel, float* magnitudes);
