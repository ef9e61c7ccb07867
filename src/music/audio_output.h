#pragma once
// The default output device, fed by a ModulePlayer on the device's own thread.
#include <cstdint>
#include <string>

#include "music/module_player.h"

constexpr int OUTPUT_BLOCK_FRAMES = 1024;  // small, so the bars stay close to the sound

struct AudioOutput;

// Opens the default device at 44100 Hz stereo float (converted to what the device wants) and
// starts playing. Null when there is no usable device, with the sound library's reason in why.
// The player must outlive the output.
AudioOutput* open_audio_output(ModulePlayer* player, std::string& why);

// Stops the callback and closes the device; the player may be destroyed afterwards.
void close_audio_output(AudioOutput* output);

// Absolute frame of the player's rendered stream that is being heard now.
int64_t audible_output_frame(AudioOutput* output);
