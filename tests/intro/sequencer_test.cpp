#include "intro/sequencer.h"

#include <SDL2/SDL_stdinc.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <vector>

#include "gfx/screen.h"
#include "music/music.h"
#include "platform/keyboard.h"

namespace {

// The intro with the shipped music on SDL's dummy audio driver, on the window-less screen.
class Sequencer : public ::testing::Test {
 protected:
  void SetUp() override {
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    reset_intro();  // a module another test started would keep playing at its volume
    force_display_driver("Null");
    MusicFileName = "../../data/module.xm";
    ASSERT_EQ(start_intro(1234, true), 0);
    ASSERT_NE(MusicChannel, 0u) << "the shipped module did not start";
  }
  void TearDown() override {
    shutdown_screen();
    force_display_driver(nullptr);
    reset_intro();  // later tests in this process draw as without music
  }
};

// Alt+F4 held, the close request and other keys are tried on the running program. Here: the
// picture fades over exactly 256 presented frames; the music's volume, as the playing engine holds
// it, is full at the frame that saw the close request and one 1/256 step lower each frame after,
// 1/256 at the last, never 0.
TEST_F(Sequencer, CloseRequestFadesPictureAndMusicOver256Frames) {
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(run_frame());
  EXPECT_EQ(music_volume(), 1.0f);
  const int32_t before = FrameCounter;
  push_key(CLOSE_KEY_CODE);
  std::vector<float> volumes;
  bool more = true;
  while (more && volumes.size() < 1000) {
    more = run_frame();
    volumes.push_back(music_volume());
    if (volumes.size() == 1) {
      EXPECT_EQ(fade_state().fade_alpha, 1);  // the overlay of the first fade frame had alpha 0
    }
    if (volumes.size() == 100) push_key(CLOSE_KEY_CODE);  // closing again changes nothing
  }
  ASSERT_EQ(volumes.size(), 256u);
  EXPECT_EQ(FrameCounter, before + 256);
  EXPECT_EQ(fade_state().fade_frames_left, 0);
  EXPECT_EQ(fade_state().fade_alpha, 256);  // the last overlay had alpha 255: a black page
  for (size_t k = 0; k < volumes.size(); ++k)
    EXPECT_EQ(volumes[k], static_cast<float>((256 - k) / 256.0)) << k;
}

}  // namespace
