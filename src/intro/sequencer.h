#pragma once
// Start-up and the frame loop with its exit fade.
#include <cstdint>

extern int32_t FrameCounter;
// Set before start_intro by the launcher: added to the screen's start flags (SCREEN_FULLSCREEN
// for a start in full screen), and the frame rate asked of the screen (0: the display's refresh).
extern int ScreenStartFlags;
extern int ScreenFrameRate;

// Start-up after seeding: opens the screen, prepares every effect and, when with_music is set,
// starts the music. Returns set_screen_mode's result (0 = the screen is open).
int start_intro(uint32_t seed, bool with_music);

// The drawing half of a frame: scroll, count, draw every effect, test for a close request and
// apply the fade step. The page is not shown yet.
void draw_frame();
// One pass of the frame loop: draw_frame, then pace and show the page. False once the 256th fade
// frame has been presented.
bool run_frame();

// Starts the exit fade as a close request would (for a run that ends by itself).
void request_close();

// Overlay alpha and music volume of the frame being faded (for inspection by tools and tests).
struct FadeState {
  bool close_requested;
  int32_t fade_frames_left;
  int32_t fade_alpha;
};
FadeState fade_state();
