#pragma once
// Start-up and the frame loop with its exit fade.
#include <cstdint>

extern int32_t FrameCounter;
// Set before start_intro by the launcher: added to the screen's start flags (SCREEN_FULLSCREEN
// for a start in full screen), and the frame rate asked of the screen (0: the display's refresh).
extern int ScreenStartFlags;
extern int ScreenFrameRate;

// Frames of the exit fade, counting the one in which the close request is seen.
constexpr int FADE_FRAMES = 256;

// Start-up after seeding: opens the screen, prepares every effect and, when with_music is set,
// starts the music. Returns set_screen_mode's result (0 = the screen is open).
int start_intro(uint32_t seed, bool with_music);

// The drawing half of a frame: scroll, count, draw every effect, test for a close request and
// apply the fade step. The page is not shown yet.
void draw_frame();
// The showing half: the finished page 0 copied onto the visible page 1.
void show_frame();
// One pass of the frame loop: draw_frame, then pace and show the page. False once the 256th fade
// frame has been presented.
bool run_frame();

// Puts the intro's program-wide variables back to their start values and stops the music: for
// test fixtures that start the intro or its effects again in one process. The trig tables and the
// cube's points are rebuilt by every start and need none.
void reset_intro();

// Starts the exit fade as a close request would (for a run that ends by itself).
void request_close();

// Overlay alpha and music volume of the frame being faded (for inspection by tools and tests).
struct FadeState {
  bool close_requested;
  int32_t fade_frames_left;
  int32_t fade_alpha;
};
FadeState fade_state();
