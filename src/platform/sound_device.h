#pragma once
// The default sound output device, pulled by a callback on the device's own thread. The samples
// are always 32-bit floats, interleaved: the sound library converts them to whatever the device
// wants, so the caller's rate and format hold on every system.
#include <string>

// Writes `frames` frames of the opened channel count into `samples`; runs on the device's thread.
using SoundFill = void (*)(void* context, float* samples, int frames);

struct SoundFormat {
  int rate;          // frames per second
  int channels;      // interleaved in each frame
  int block_frames;  // frames asked of one callback; the device may settle on another count
};

struct SoundDevice;

// Opens the default output device for exactly `format`, paused: `fill` runs only once playing.
// Null when there is no usable device, with the sound library's reason in why.
SoundDevice* open_sound_device(const SoundFormat& format, SoundFill fill, void* context,
                               std::string& why);
// The frames of one callback that the device settled on.
int sound_device_block_frames(const SoundDevice* device);
// Starts (true) or pauses (false) the callbacks.
void set_sound_device_playing(SoundDevice* device, bool playing);
// Stops the callbacks, waiting for one that runs, and closes the device: afterwards `fill` never
// runs again and its context may go. Null is allowed.
void close_sound_device(SoundDevice* device);
