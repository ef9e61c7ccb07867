// The music's volume through the exit fade, as the playing engine holds it: full at the frame that
// saw the close request, one 1/256 step lower each frame, 1/256 at the last, never 0.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <vector>

#include "gfx/screen.h"
#include "intro/sequencer.h"
#include "music/music.h"
#include "platform/keyboard.h"

namespace {

TEST(FadeVolume, FallsOneStepPerFrameFromFullToOne256th) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  force_display_driver("Null");
  reset_intro();  // a module another test started would keep playing at its volume
  MusicFileName = "../../data/module.xm";
  ASSERT_EQ(start_intro(99, true), 0);
  ASSERT_NE(MusicChannel, 0u) << "the shipped module did not start";

  for (int i = 0; i < 5; ++i) ASSERT_TRUE(run_frame());
  EXPECT_EQ(music_volume(), 1.0f);
  push_key(CLOSE_KEY_CODE);
  std::vector<float> volumes;
  bool more = true;
  while (more && volumes.size() < 300) {
    more = run_frame();
    volumes.push_back(music_volume());
  }
  ASSERT_EQ(volumes.size(), 256u);
  for (size_t k = 0; k < volumes.size(); ++k)
    EXPECT_EQ(volumes[k], static_cast<float>((256 - k) / 256.0)) << k;  // 1 down to 1/256

  shutdown_screen();
  force_display_driver(nullptr);
  reset_intro();  // later tests in this process draw as without music
}

}  // namespace
