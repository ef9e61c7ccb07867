#include "music/music.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "music/analysis.h"
#include "music/audio_output.h"
#include "music/frame_ring.h"
#include "music/module_player.h"
#include "platform/data_file.h"

std::string MusicFileName;
uint32_t MusicChannel = 0;

namespace {

constexpr uint32_t PLAYING_HANDLE = 1;

struct Playback {
  ModulePlayer* player = nullptr;
  AudioOutput* output = nullptr;
  SpectrumAnalyser* analyser = nullptr;
  float frames[SPECTRUM_FRAMES * 2] = {};  // drawing thread's copy of the heard frames
  bool offline = false;                    // decoded on demand, heard_end set by the caller
  int64_t heard_end = 0;
  std::string output_problem;  // why no device plays the loaded module; empty when one does
  std::chrono::steady_clock::time_point started;  // of the module that no device plays

  // At process end: the device goes first, so no callback runs on a destroyed module and the
  // sound stops at whatever (faded) volume it had, without a click from a half-written block.
  ~Playback() {
    close_audio_output(output);
    destroy_module_player(player);
    destroy_spectrum_analyser(analyser);
  }
};

Playback playback;
float master_volume = 1.0f;

// A module decoded ahead of start_music, while the window opens. The worker is detached and
// says when it is done: a process that ends early (the display lost, say) then leaves no finished
// thread behind unjoined.
struct Preload {
  std::mutex mutex;
  std::condition_variable done;
  bool loading = false;  // a worker runs; it alone writes player until it clears this
  std::string name;
  ModulePlayer* player = nullptr;

  ~Preload() {
    wait();
    destroy_module_player(player);
  }

  void wait() {
    std::unique_lock<std::mutex> lock(mutex);
    done.wait(lock, [this] { return !loading; });
  }
};

Preload preload;

ModulePlayer* load_module_player(const std::string& name, std::string* why) {
  std::vector<char> bytes;
  if (!read_data_file(name.c_str(), MAX_MODULE_BYTES, bytes, why)) return nullptr;
  ModulePlayer* player = create_module_player(bytes.data(), bytes.size());
  if (player == nullptr && why != nullptr)
    *why = bytes.empty() ? "is empty" : "is not a module that can be played";
  return player;
}

// The preloaded module if it is of this file, otherwise one loaded now.
ModulePlayer* take_module_player(const std::string& name) {
  preload.wait();
  ModulePlayer* player = preload.player;
  preload.player = nullptr;
  if (player != nullptr && preload.name == name) return player;
  destroy_module_player(player);
  return load_module_player(name, nullptr);
}

bool playing(uint32_t channel) {
  return channel != 0 && channel == PLAYING_HANDLE &&
         (playback.output != nullptr || playback.offline);
}

// The frame being heard now: the device's, or the one offline rendering has reached.
int64_t heard_frame() {
  return playback.offline ? playback.heard_end : audible_output_frame(playback.output);
}

// Copies the `frames` frames that end at what is being heard now into playback.frames.
void copy_heard_frames(int frames) {
  ring_read(player_ring(playback.player), heard_frame(), frames, playback.frames);
}

}  // namespace

void begin_loading_music() {
  preload.wait();
  if (playback.player != nullptr || preload.player != nullptr) return;
  preload.name = MusicFileName;
  preload.loading = true;
  try {
    std::thread([] {
      ModulePlayer* player = load_module_player(preload.name, nullptr);
      // Notified under the lock, so the worker touches nothing of the preload once a waiter
      // can go on.
      std::lock_guard<std::mutex> lock(preload.mutex);
      preload.player = player;
      preload.loading = false;
      preload.done.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    preload.loading = false;  // no thread to spare: start_music loads it itself
  }
}

bool load_music(std::string* why) {
  if (playback.player != nullptr) return true;
  preload.wait();
  destroy_module_player(preload.player);
  preload.name = MusicFileName;
  preload.player = load_module_player(preload.name, why);
  return preload.player != nullptr;
}

void finish_loading_music() {
  preload.wait();
  destroy_module_player(preload.player);
  preload.player = nullptr;
}

void start_music() {
  if (playback.player != nullptr) return;
  playback.player = take_module_player(MusicFileName);
  if (playback.player == nullptr) return;
  start_player_volume(playback.player, master_volume);
  playback.output = open_audio_output(playback.player, playback.output_problem);
  if (playback.output == nullptr) {
    // Kept for its length: one pass of the music still takes as long, heard or not.
    if (playback.output_problem.empty()) playback.output_problem = "no reason given";
    playback.started = std::chrono::steady_clock::now();
    return;
  }
  playback.analyser = create_spectrum_analyser();
  MusicChannel = PLAYING_HANDLE;
}

void reset_music() {
  finish_loading_music();
  close_audio_output(playback.output);
  destroy_module_player(playback.player);
  destroy_spectrum_analyser(playback.analyser);
  playback.output = nullptr;
  playback.player = nullptr;
  playback.analyser = nullptr;
  playback.offline = false;
  playback.heard_end = 0;
  playback.output_problem.clear();
  MusicChannel = 0;
  MusicFileName.clear();
  master_volume = 1.0f;
}

void set_music_volume(float volume) {
  if (!playing(MusicChannel)) return;
  set_player_volume(playback.player, volume * master_volume);
}

void set_music_master_volume(float volume) {
  master_volume = volume >= 0.0f ? std::min(volume, 1.0f) : 0.0f;  // also NaN
}

double music_length_seconds() {
  return playback.player != nullptr ? module_duration_seconds(playback.player) : 0.0;
}

double music_heard_seconds() {
  if (playing(MusicChannel)) return static_cast<double>(heard_frame()) / PLAYER_RATE;
  if (playback.player == nullptr) return 0.0;
  const std::chrono::duration<double> since = std::chrono::steady_clock::now() - playback.started;
  return since.count();
}

const std::string& music_output_problem() {
  return playback.output_problem;
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

void start_offline_music() {
  if (playback.player != nullptr) return;
  playback.player = take_module_player(MusicFileName);
  if (playback.player == nullptr) return;
  playback.analyser = create_spectrum_analyser();
  playback.offline = true;
  MusicChannel = PLAYING_HANDLE;
}

int advance_offline_music(int64_t end, float* stereo) {
  const int64_t start = playback.heard_end;
  if (end <= start) return 0;
  playback.heard_end = end;
  const auto frames = static_cast<int>(end - start);
  if (!playback.offline) {
    std::fill(stereo, stereo + static_cast<ptrdiff_t>(frames) * 2, 0.0f);
    return frames;
  }
  for (int done = 0; done < frames;) {
    const int run = std::min(frames - done, RING_FRAMES / 2);
    decode_module(playback.player, stereo + static_cast<ptrdiff_t>(done) * 2, run);
    done += run;
  }
  return frames;
}

void apply_offline_volume(float* stereo, int frames) {
  if (playback.offline) apply_player_volume(playback.player, stereo, frames);
}
