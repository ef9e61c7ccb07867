#include "music/music.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "music/analysis.h"
#include "music/audio_output.h"
#include "music/frame_ring.h"
#include "music/module_player.h"

std::string MusicFileName;
uint32_t MusicChannel = 0;

namespace {

constexpr uint32_t PLAYING_HANDLE = 1;

struct Playback {
  ModulePlayer* player = nullptr;
  AudioOutput* output = nullptr;
  SpectrumAnalyser* analyser = nullptr;
  float frames[SPECTRUM_FRAMES * 2] = {};  // drawing thread's copy of the heard frames

  // At process end: the device goes first, so no callback runs on a destroyed module and the
  // sound stops at whatever (faded) volume it had, without a click from a half-written block.
  ~Playback() {
    close_audio_output(output);
    destroy_module_player(player);
    destroy_spectrum_analyser(analyser);
  }
};

Playback playback;

bool read_file(const std::string& name, std::vector<char>& bytes) {
  std::ifstream file(name, std::ios::binary);
  if (!file) return false;
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

bool playing(uint32_t channel) {
  return channel != 0 && channel == PLAYING_HANDLE && playback.output != nullptr;
}

// Copies the `frames` frames that end at what is being heard now into playback.frames.
void copy_heard_frames(int frames) {
  const int64_t end = audible_output_frame(playback.output);
  ring_read(player_ring(playback.player), end, frames, playback.frames);
}

}  // namespace

void start_music() {
  if (playback.player != nullptr) return;
  std::vector<char> bytes;
  if (!read_file(MusicFileName, bytes)) return;
  playback.player = create_module_player(bytes.data(), bytes.size());
  if (playback.player == nullptr) return;
  playback.output = open_audio_output(playback.player);
  if (playback.output == nullptr) {
    destroy_module_player(playback.player);
    playback.player = nullptr;
    return;
  }
  playback.analyser = create_spectrum_analyser();
  MusicChannel = PLAYING_HANDLE;
}

void set_music_volume(float volume) {
  if (!playing(MusicChannel)) return;
  set_player_volume(playback.player, volume);
}

uint32_t music_level(uint32_t channel) {
  if (!playing(channel)) return 0;
  copy_heard_frames(LEVEL_WINDOW_FRAMES);
  return peak_level_word(playback.frames, LEVEL_WINDOW_FRAMES);
}

void music_spectrum(uint32_t channel, float* magnitudes) {
  if (!playing(channel)) return;
  copy_heard_frames(SPECTRUM_FRAMES);
  spectrum_magnitudes(playback.analyser, playback.frames, magnitudes);
}
