#include "music/music.h"

// Placeholder until the audio engine lands: the intro runs silent.
std::string MusicFileName;
uint32_t MusicChannel = 0;

void start_music() {}
void set_music_volume(float) {}
uint32_t music_level(uint32_t) { return 0; }
void music_spectrum(uint32_t, float*) {}
