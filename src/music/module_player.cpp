#include "music/module_player.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <atomic>

#include "music/gain_ramp.h"

struct ModulePlayer {
  openmpt_module* module = nullptr;
  std::atomic<float> target_volume{1.0f};
  float current_volume = 1.0f;  // audio thread only
  FrameRing ring;
};

ModulePlayer* create_module_player(const void* bytes, size_t size) {
  if (bytes == nullptr || size == 0) return nullptr;
  openmpt_module* module = openmpt_module_create_from_memory2(bytes, size, openmpt_log_func_silent,
                                                              nullptr, openmpt_error_func_ignore,
                                                              nullptr, nullptr, nullptr, nullptr);
  if (module == nullptr) return nullptr;
  openmpt_module_set_repeat_count(module, -1);  // loop for as long as the intro runs
  // Volume ramping on (the library's default strength) so note starts and stops do not click.
  openmpt_module_set_render_param(module, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH, -1);
  // Cubic interpolation: half the audio thread's time of the library's 8-tap default, and finer
  // than the linear interpolation the format's own tracker used.
  openmpt_module_set_render_param(module, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH, 4);
  auto* player = new ModulePlayer;
  player->module = module;
  return player;
}

namespace {

void collect_log_line(const char* message, void* user) {
  auto* messages = static_cast<std::string*>(user);
  *messages += message;
  *messages += '\n';
}

}  // namespace

std::string module_load_messages(const void* bytes, size_t size) {
  std::string messages;
  openmpt_module* module = openmpt_module_create_from_memory2(bytes, size, collect_log_line,
                                                              &messages, openmpt_error_func_ignore,
                                                              nullptr, nullptr, nullptr, nullptr);
  if (module == nullptr) return messages + "not loadable\n";
  const char* warnings = openmpt_module_get_metadata(module, "warnings");
  if (warnings != nullptr) {
    if (warnings[0] != '\0') messages = messages + warnings + '\n';
    openmpt_free_string(warnings);
  }
  openmpt_module_destroy(module);
  return messages;
}

void destroy_module_player(ModulePlayer* player) {
  if (player == nullptr) return;
  openmpt_module_destroy(player->module);
  delete player;
}

void render_module(ModulePlayer* player, float* stereo, int frames) {
  size_t done = 0;
  const auto wanted = static_cast<size_t>(frames);
  while (done < wanted) {
    const size_t got = openmpt_module_read_interleaved_float_stereo(
        player->module, PLAYER_RATE, wanted - done, stereo + done * 2);
    if (got == 0) break;  // only on a decoder fault, since the module loops forever
    done += got;
  }
  std::fill(stereo + done * 2, stereo + wanted * 2, 0.0f);
  ring_write(player->ring, stereo, frames);
  const float target = player->target_volume.load(std::memory_order_relaxed);
  apply_gain_ramp(stereo, frames, player->current_volume, target);
  player->current_volume = target;
}

double module_duration_seconds(ModulePlayer* player) {
  return openmpt_module_get_duration_seconds(player->module);
}

void seek_module(ModulePlayer* player, double seconds) {
  openmpt_module_set_position_seconds(player->module, seconds);
}

void set_player_volume(ModulePlayer* player, float volume) {
  if (!(volume >= 0.0f)) volume = 0.0f;  // also NaN
  if (volume > 1.0f) volume = 1.0f;
  player->target_volume.store(volume, std::memory_order_relaxed);
}

void start_player_volume(ModulePlayer* player, float volume) {
  set_player_volume(player, volume);
  player->current_volume = player->target_volume.load(std::memory_order_relaxed);
}

FrameRing& player_ring(ModulePlayer* player) {
  return player->ring;
}
