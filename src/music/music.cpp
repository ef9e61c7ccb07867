#include "music/music.h"

#include <fstream>
#include <iterator>
#include <system_error>
#include <thread>
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

// A module decoded ahead of start_music, while the window opens.
struct Preload {
  std::thread worker;
  std::string name;
  ModulePlayer* player = nullptr;  // written by the worker, read after joining it

  ~Preload() {
    if (worker.joinable()) worker.join();
    destroy_module_player(player);
  }
};

Preload preload;

bool read_file(const std::string& name, std::vector<char>& bytes) {
  std::ifstream file(name, std::ios::binary);
  if (!file) return false;
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

ModulePlayer* load_module_player(const std::string& name) {
  std::vector<char> bytes;
  if (!read_file(name, bytes)) return nullptr;
  return create_module_player(bytes.data(), bytes.size());
}

// The preloaded module if it is of this file, otherwise one loaded now.
ModulePlayer* take_module_player(const std::string& name) {
  if (preload.worker.joinable()) preload.worker.join();
  ModulePlayer* player = preload.player;
  preload.player = nullptr;
  if (player != nullptr && preload.name == name) return player;
  destroy_module_player(player);
  return load_module_player(name);
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

void begin_loading_music() {
  if (playback.player != nullptr || preload.worker.joinable() || preload.player != nullptr) return;
  preload.name = MusicFileName;
  try {
    preload.worker = std::thread([] { preload.player = load_module_player(preload.name); });
  } catch (const std::system_error&) {
    // No thread to spare: start_music loads it itself.
  }
}

void finish_loading_music() {
  if (preload.worker.joinable()) preload.worker.join();
  destroy_module_player(preload.player);
  preload.player = nullptr;
}

void start_music() {
  if (playback.player != nullptr) return;
  playback.player = take_module_player(MusicFileName);
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

float music_volume() {
  return playing(MusicChannel) ? player_volume(playback.player) : 0.0f;
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
