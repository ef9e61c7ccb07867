#include "music/audio_output.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <mutex>

#include "music/audible_position.h"
#include "platform/sound_system.h"

namespace {

int64_t now_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

struct AudioOutput {
  SDL_AudioDeviceID device = 0;
  ModulePlayer* player = nullptr;
  int block_frames = OUTPUT_BLOCK_FRAMES;
  std::mutex clock_lock;  // pairs the two stamps below
  int64_t rendered_frames = 0;
  int64_t callback_ns = 0;
};

namespace {

void fill_device_buffer(void* userdata, Uint8* bytes, int length) {
  auto* output = static_cast<AudioOutput*>(userdata);
  const int64_t stamp = now_ns();
  auto* stereo = reinterpret_cast<float*>(bytes);
  const int frames = length / static_cast<int>(2 * sizeof(float));
  for (int done = 0; done < frames;) {
    const int run = std::min(frames - done, RING_FRAMES / 2);
    render_module(output->player, stereo + done * 2, run);
    done += run;
  }
  std::lock_guard<std::mutex> guard(output->clock_lock);
  output->rendered_frames += frames;
  output->callback_ns = stamp;
}

}  // namespace

AudioOutput* open_audio_output(ModulePlayer* player, std::string& why) {
  if (player == nullptr) return nullptr;
  quiet_sound_library();
  SDL_SetMainReady();  // the program has its own main, not SDL's
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    why = SDL_GetError();
    return nullptr;
  }
  auto* output = new AudioOutput;
  output->player = player;
  SDL_AudioSpec wanted{};
  wanted.freq = PLAYER_RATE;
  wanted.format = AUDIO_F32SYS;
  wanted.channels = 2;
  wanted.samples = OUTPUT_BLOCK_FRAMES;
  wanted.callback = fill_device_buffer;
  wanted.userdata = output;
  SDL_AudioSpec obtained{};
  // No changes allowed: SDL converts to the device's own format and rate, so the analysis
  // always sees 44100 Hz stereo float.
  output->device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (output->device == 0) {
    why = SDL_GetError();
    delete output;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return nullptr;
  }
  output->block_frames = obtained.samples;
  {
    std::lock_guard<std::mutex> guard(output->clock_lock);
    output->callback_ns = now_ns();
  }
  SDL_PauseAudioDevice(output->device, 0);
  return output;
}

void close_audio_output(AudioOutput* output) {
  if (output == nullptr) return;
  // Joins SDL's audio thread, so no callback can touch the player afterwards.
  SDL_CloseAudioDevice(output->device);
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  delete output;
}

int64_t audible_output_frame(AudioOutput* output) {
  int64_t rendered = 0;
  int64_t stamp = 0;
  {
    std::lock_guard<std::mutex> guard(output->clock_lock);
    rendered = output->rendered_frames;
    stamp = output->callback_ns;
  }
  const double since = static_cast<double>(now_ns() - stamp) * 1e-9;
  return audible_frame(rendered, since, output->block_frames, PLAYER_RATE);
}
