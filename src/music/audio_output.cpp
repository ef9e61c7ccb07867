#include "music/audio_output.h"

#include <algorithm>
#include <mutex>

#include "music/audible_position.h"
#include "platform/sound_device.h"
#include "support/steady_clock.h"

struct AudioOutput {
  SoundDevice* device = nullptr;
  ModulePlayer* player = nullptr;
  int block_frames = OUTPUT_BLOCK_FRAMES;
  std::mutex clock_lock;  // pairs the two stamps below
  int64_t rendered_frames = 0;
  int64_t callback_ns = 0;
};

namespace {

void fill_device_buffer(void* context, float* stereo, int frames) {
  auto* output = static_cast<AudioOutput*>(context);
  const int64_t stamp = steady_now_ns();
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
  auto* output = new AudioOutput;
  output->player = player;
  // Always 44100 Hz stereo float, whatever the device's own format: the analysis relies on it.
  const SoundFormat format = {PLAYER_RATE, 2, OUTPUT_BLOCK_FRAMES};
  output->device = open_sound_device(format, fill_device_buffer, output, why);
  if (output->device == nullptr) {
    delete output;
    return nullptr;
  }
  output->block_frames = sound_device_block_frames(output->device);
  {
    std::lock_guard<std::mutex> guard(output->clock_lock);
    output->callback_ns = steady_now_ns();
  }
  set_sound_device_playing(output->device, true);
  return output;
}

void close_audio_output(AudioOutput* output) {
  if (output == nullptr) return;
  // Waits for a running callback, so none can touch the player afterwards.
  close_sound_device(output->device);
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
  const double since = static_cast<double>(steady_now_ns() - stamp) * 1e-9;
  return audible_frame(rendered, since, output->block_frames, PLAYER_RATE);
}
