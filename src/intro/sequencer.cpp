#include "intro/sequencer.h"

#include <string>

#include "gfx/keys.h"
#include "gfx/primitives.h"
#include "gfx/screen.h"
#include "gfx/text.h"
#include "intro/analyser.h"
#include "intro/cube.h"
#include "intro/glyph_table.h"
#include "intro/header_wobble.h"
#include "intro/raster_bars.h"
#include "intro/scroll_text.h"
#include "intro/sine_scroller.h"
#include "intro/starfield.h"
#include "music/music.h"
#include "platform/keyboard.h"
#include "platform/timing.h"
#include "support/random.h"

int32_t FrameCounter = 0;
int ScreenStartFlags = 0;
int ScreenFrameRate = 0;

namespace {

const std::string kCloseString("\xFF\x6B", 2);

bool close_requested = false;
int32_t fade_frames_left = FADE_FRAMES;
int32_t fade_alpha = 0;

void clear_page(Color colour) {
  draw_line(nullptr, 0.0f, 0.0f, 640.0f, 480.0f, colour, LINE_KIND_FILLED_BOX, 0xFFFF, 0);
}

void reset_fade() {
  close_requested = false;
  fade_frames_left = FADE_FRAMES;
  fade_alpha = 0;
}

// All three queries run every frame, also while fading, so the key ring loses one key per frame.
bool close_request_seen() {
  const bool alt = key_down(56) != 0;
  const bool f4 = key_down(62) != 0;
  const std::string key = read_key();
  return (alt && f4) || key == kCloseString;
}

}  // namespace

int start_intro(uint32_t seed, bool with_music) {
  seed_random(seed);
  if (MusicFileName.empty()) MusicFileName = "module.xm";  // unless the launcher found or named one
  if (with_music) begin_loading_music();                   // decoded while the window opens
  const int opened = set_screen_mode(
      640, 480, 32, 2, SCREEN_BLENDED_PRIMITIVES | SCREEN_WINDOW_THREAD_BOOST | ScreenStartFlags,
      ScreenFrameRate);
  if (opened != 0) {
    if (with_music) finish_loading_music();  // no thread outlives a failed start
    return opened;
  }
  print_text("loading...", true);
  install_glyph_table();
  build_scroll_text();
  reset_fade();
  init_starfield();
  if (with_music) start_music();
  load_header();
  build_trig_tables();
  init_cube(CubeModel);
  return 0;
}

void draw_frame() {
  advance_scroll();
  // Wraps instead of overflowing after 2^31 frames.
  FrameCounter = static_cast<int32_t>(static_cast<uint32_t>(FrameCounter) + 1u);
  lock_screen();
  clear_page(0xFF000000u);
  draw_starfield(FrameCounter);
  draw_sine_scroller(FrameCounter, ScrollPosition);
  draw_cube(FrameCounter);
  draw_raster_bars(FrameCounter);
  draw_header_wobble(FrameCounter);
  draw_analyser();
  unlock_screen(-1, -1);
  if (close_request_seen()) close_requested = true;
  if (close_requested) {
    set_music_volume(static_cast<float>(fade_frames_left / 256.0));
    clear_page(static_cast<Color>(fade_alpha) << 24);
    --fade_frames_left;
    ++fade_alpha;
  }
}

void show_frame() {
  set_pages(0, 1);
  copy_page(0, 1);
}

bool run_frame() {
  draw_frame();
  sleep_ms(2);
  wait_vsync();
  show_frame();
  return fade_frames_left > 0;
}

void reset_intro() {
  reset_music();
  FrameCounter = 0;
  ScreenStartFlags = 0;
  ScreenFrameRate = 0;
  reset_fade();
  destroy_image(HeaderImage);
  HeaderImage = nullptr;
  HeaderFileName = HEADER_START_FILE_NAME;
  ScrollText.clear();
  ScrollPosition = SCROLL_START_POSITION;
  Starfield = StarfieldData{{}, {}, {}, STAR_START_SPEED};
}

void request_close() {
  close_requested = true;
}

FadeState fade_state() {
  return {close_requested, fade_frames_left, fade_alpha};
}
