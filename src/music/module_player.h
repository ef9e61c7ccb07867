#pragma once
// A looping module decoded by libopenmpt at 44100 Hz stereo float, its frames recorded for
// analysis before the volume is applied. No device: the audio callback and the offline probe
// both drive it through render_module.
#include <cstddef>
#include <cstdint>
#include <string>

#include "music/frame_ring.h"

constexpr int PLAYER_RATE = 44100;
// Larger than any real module: a bigger file is refused unread.
constexpr uint64_t MAX_MODULE_BYTES = 64u << 20;

struct ModulePlayer;

// Null when the bytes are no module libopenmpt can play. Logs nothing.
ModulePlayer* create_module_player(const void* bytes, size_t size);
void destroy_module_player(ModulePlayer* player);

// Everything libopenmpt reports while loading the bytes (log lines and load warnings), one per
// line; empty for a module that loads cleanly. For the generator and tests, never the intro.
std::string module_load_messages(const void* bytes, size_t size);

// Decodes the next `frames` frames into `stereo` (interleaved L, R), records them in the ring,
// then applies the volume as a ramp from the previous block's gain. Allocates nothing.
void render_module(ModulePlayer* player, float* stereo, int frames);

// Length of one pass through the module's order list, in seconds.
double module_duration_seconds(ModulePlayer* player);

// Jumps to `seconds` into the module (for tests and tools that look at a later part).
void seek_module(ModulePlayer* player, double seconds);

// Linear gain 0..1 (clamped) reached by the end of the next rendered block; any thread may
// call it.
void set_player_volume(ModulePlayer* player, float volume);

// Sets the gain at once, without a ramp from the previous one: only before any block is rendered.
void start_player_volume(ModulePlayer* player, float volume);

// The frames rendered so far, before the volume.
FrameRing& player_ring(ModulePlayer* player);
