// The thin layer with no music: every call harmless, nothing printed, nothing written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "music/music.h"

namespace {

void expect_silent_layer() {
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
}

}  // namespace

TEST(MusicLayer, MissingFileLeavesHandleZeroAndStaysQuiet) {
  MusicFileName = "no_such_module.xm";
  testing::internal::CaptureStderr();
  start_music();
  expect_silent_layer();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(MusicLayer, CorruptFileLeavesHandleZeroAndStaysQuiet) {
  const std::string name = (std::filesystem::temp_directory_path() /
                            ("corrupt_module_" + std::to_string(getpid()) + ".xm"))
                               .string();
  {
    std::ofstream file(name, std::ios::binary);
    file << "Extended Module: broken";
    for (int i = 0; i < 300; ++i) file.put(static_cast<char>(i * 37));
  }
  MusicFileName = name;
  testing::internal::CaptureStderr();
  start_music();
  expect_silent_layer();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  std::filesystem::remove(name);
}
