#include "intro/sequencer.h"

#include <gtest/gtest.h>

#include "gfx/screen.h"
#include "intro/scroll_text.h"
#include "platform/keyboard.h"

namespace {

class Sequencer : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_intro();
    force_display_driver("Null");
    ASSERT_EQ(start_intro(1234, false), 0);
  }
  void TearDown() override {
    shutdown_screen();
    force_display_driver(nullptr);
  }
};

TEST_F(Sequencer, AltOrF4AloneNeverCloses_BothTogetherDo) {
  Screen* s = current_screen();
  s->key_state[56] = 1;
  run_frame();
  EXPECT_FALSE(fade_state().close_requested);
  s->key_state[56] = 0;
  s->key_state[62] = 1;
  run_frame();
  EXPECT_FALSE(fade_state().close_requested);
  push_key('a');  // an ordinary key is consumed and ignored
  run_frame();
  EXPECT_FALSE(fade_state().close_requested);
  s->key_state[56] = 1;
  run_frame();
  EXPECT_TRUE(fade_state().close_requested);
  EXPECT_EQ(fade_state().fade_frames_left, 255);  // the frame that saw it was the first fade frame
  EXPECT_EQ(fade_state().fade_alpha, 1);
}

TEST_F(Sequencer, CloseRequestIsFollowedByExactly256PresentedFramesEndingBlack) {
  run_frame();
  const int32_t before = FrameCounter;
  push_key(CLOSE_KEY_CODE);
  int presented = 0;
  bool more = true;
  while (more && presented < 1000) {
    more = run_frame();
    ++presented;
    if (presented == 1) {
      EXPECT_EQ(fade_state().fade_alpha, 1);  // the overlay of the first fade frame had alpha 0
    }
    if (presented == 100) push_key(CLOSE_KEY_CODE);  // closing again changes nothing
  }
  EXPECT_EQ(presented, 256);
  EXPECT_EQ(FrameCounter, before + 256);
  EXPECT_EQ(fade_state().fade_frames_left, 0);
  EXPECT_EQ(fade_state().fade_alpha, 256);  // the last overlay had alpha 255: a black page
}

}  // namespace
