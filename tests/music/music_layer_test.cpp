// The thin layer with no music: every call harmless, nothing printed, nothing written.
#include <SDL2/SDL_stdinc.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <vector>

#include "music/music.h"

class MusicLayer : public ::testing::Test {
 protected:
  void SetUp() override { reset_music(); }  // an earlier test may have left a module playing
};

// A corrupt module or a folder reaches this layer as a missing file does.
TEST_F(MusicLayer, AMissingFileLeavesHandleZeroAndStaysQuiet) {
  MusicFileName = "no_such_module.xm";
  testing::internal::CaptureStderr();
  start_music();
  EXPECT_EQ(MusicChannel, 0u);
  set_music_volume(0.5f);
  EXPECT_EQ(music_level(MusicChannel), 0u);
  std::vector<float> spectrum(513, 0.25f);
  music_spectrum(MusicChannel, spectrum.data());
  for (float v : spectrum) EXPECT_EQ(v, 0.25f);
  // A handle the layer never gave out is no better than 0.
  EXPECT_EQ(music_level(7), 0u);
  music_spectrum(7, spectrum.data());
  EXPECT_EQ(spectrum[1], 0.25f);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// Why a named file is no module is checked on the program itself, which prints it.
TEST_F(MusicLayer, APreloadOfAnotherFileIsNotPlayed) {
  SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);  // were the preload used, it would start playing
  MusicFileName = "../../data/module.xm";
  begin_loading_music();
  MusicFileName = "no_such_module.xm";
  start_music();
  EXPECT_EQ(MusicChannel, 0u);
  // A failed preload does not stop the file named at start from playing.
  MusicFileName = "no_such_module_either.xm";
  begin_loading_music();
  MusicFileName = "../../data/module.xm";
  start_music();
  EXPECT_EQ(MusicChannel, 1u);
}
