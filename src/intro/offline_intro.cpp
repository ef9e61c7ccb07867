#include "intro/offline_intro.h"

#include <cmath>

#include "gfx/screen.h"
#include "intro/sequencer.h"
#include "music/module_player.h"
#include "music/music.h"
#include "platform/keyboard.h"

namespace {

int frame_rate = 60;
int64_t frames_drawn = 0;

// Sound frames from the start up to the end of picture n.
int64_t sound_position(int64_t picture) {
  return std::llround(static_cast<double>(picture) * PLAYER_RATE / frame_rate);
}

}  // namespace

int start_offline_intro(uint32_t seed, int rate, const std::string& module_file) {
  frame_rate = rate;
  frames_drawn = 0;
  force_display_driver("Null");
  if (start_intro(seed, false) != 0) return 1;
  if (!module_file.empty()) {
    MusicFileName = module_file;
    start_offline_music();
  }
  return 0;
}

int offline_sound_capacity(int rate) {
  return PLAYER_RATE / rate + 2;
}

int draw_offline_frame(bool close, float* sound) {
  ++frames_drawn;
  // Decoded before drawing, since the analyser bars read what is heard at the frame's end.
  const int frames = advance_offline_music(sound_position(frames_drawn), sound);
  if (close) push_key(CLOSE_KEY_CODE);
  draw_frame();
  apply_offline_volume(sound, frames);
  return frames;
}

const uint32_t* offline_picture(int* pitch) {
  const Screen* screen = current_screen();
  *pitch = screen->pitch;
  return reinterpret_cast<const uint32_t*>(screen->pages[0]);
}

bool offline_frames_left() {
  return fade_state().fade_frames_left > 0;
}
