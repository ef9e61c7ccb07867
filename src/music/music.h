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
// Waits for begin_loading_music's worker and drops what it loaded: for a start-up that ends before
// the music starts.
void finish_loading_music();
// Opens the output, loads MusicFileName, starts it looping; stores the handle in MusicChannel.
// Without a device the handle stays 0 and music_output_problem says why.
void start_music();
// Stops and frees the music, live or offline, and any preload, sets the master volume back to
// full and forgets the file name: for test fixtures that start music again in one process. The
// intro never stops it.
void reset_music();
// Linear gain 0..1 of MusicChannel.
void set_music_volume(float volume);
// A gain 0..1 under every volume set, for the user's own level; before start_music.
void set_music_master_volume(float volume);
// One pass of the loaded module in seconds, and how much of it has been heard; 0 without a
// module. A module that no device plays counts as heard from start_music on, by the clock.
double music_length_seconds();
double music_heard_seconds();
// Why start_music found no device for the module it loaded (the sound library's reason); empty
// when one plays it or there was no module.
const std::string& music_output_problem();
// The gain the playing music is set to; 0 when nothing plays.
float music_volume();
// Left peak in bits 0-15, right in bits 16-31, each 0..32768; 0 for handle 0.
uint32_t music_level(uint32_t channel);
// 512 FFT magnitudes of what is heard now; leaves the buffer untouched for handle 0.
void music_spectrum(uint32_t channel, float* magnitudes);

// Offline music, for captures and tools: no device, the module is decoded on demand. Loads
// MusicFileName and sets MusicChannel as start_music does; without a playable module
// MusicChannel stays 0 and the sound is silence.
void start_offline_music();
// Decodes the sound from where the last call ended up to absolute frame `end` into `stereo`,
// before its volume, and makes `end` the frame that the level and spectrum queries hear.
// Returns the number of frames written (none when `end` is not ahead).
int advance_offline_music(int64_t end, float* stereo);
// Applies the volume set since the previous call to the `frames` frames just decoded, as a ramp
// from the previous volume, the same way as the device's blocks get it.
void apply_offline_volume(float* stereo, int frames);
