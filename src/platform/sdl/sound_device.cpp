// The sound device through SDL2's audio, which also serves the browser (through Web Audio).
#include "platform/sound_device.h"

#include <SDL2/SDL.h>

#include "platform/sound_system.h"

struct SoundDevice {
  SDL_AudioDeviceID id = 0;
  SoundFill fill = nullptr;
  void* context = nullptr;
  int frame_bytes = 0;
  int block_frames = 0;
};

namespace {

void fill_device_buffer(void* userdata, Uint8* bytes, int length) {
  auto* device = static_cast<SoundDevice*>(userdata);
  device->fill(device->context, reinterpret_cast<float*>(bytes), length / device->frame_bytes);
}

}  // namespace

SoundDevice* open_sound_device(const SoundFormat& format, SoundFill fill, void* context,
                               std::string& why) {
  quiet_sound_library();
  SDL_SetMainReady();  // the program has its own main, not SDL's
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    why = SDL_GetError();
    return nullptr;
  }
  auto* device = new SoundDevice;
  device->fill = fill;
  device->context = context;
  device->frame_bytes = format.channels * static_cast<int>(sizeof(float));
  SDL_AudioSpec wanted{};
  wanted.freq = format.rate;
  wanted.format = AUDIO_F32SYS;
  wanted.channels = static_cast<Uint8>(format.channels);
  wanted.samples = static_cast<Uint16>(format.block_frames);
  wanted.callback = fill_device_buffer;
  wanted.userdata = device;
  SDL_AudioSpec obtained{};
  // No changes allowed: SDL converts to the device's own format and rate.
  device->id = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (device->id == 0) {
    why = SDL_GetError();
    delete device;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return nullptr;
  }
  device->block_frames = obtained.samples;
  return device;
}

int sound_device_block_frames(const SoundDevice* device) {
  return device->block_frames;
}

void set_sound_device_playing(SoundDevice* device, bool playing) {
  SDL_PauseAudioDevice(device->id, playing ? 0 : 1);
}

void close_sound_device(SoundDevice* device) {
  if (device == nullptr) return;
  // Joins SDL's audio thread, so no callback runs afterwards.
  SDL_CloseAudioDevice(device->id);
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  delete device;
}
