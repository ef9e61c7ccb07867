#include "capture/video_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

TEST(VideoFormat, ChosenByTheExtensionInAnyCase) {
  EXPECT_EQ(video_format_for_name("out.mkv", false), VIDEO_FORMAT_MKV);
  EXPECT_EQ(video_format_for_name("dir/OUT.MKV", false), VIDEO_FORMAT_MKV);
  EXPECT_EQ(video_format_for_name("a.b.mp4", false), VIDEO_FORMAT_MP4);
  EXPECT_EQ(video_format_for_name("x.WebM", false), VIDEO_FORMAT_WEBM);
  EXPECT_EQ(video_format_for_name("out.mkv", true), VIDEO_FORMAT_MKV_LOSSLESS);
  // .avi and lossless outside Matroska are refused by the program in its tests.
  for (const char* name : {"out", "out.", "film.mkv/out", "out.mkv.part", ""})
    EXPECT_EQ(video_format_for_name(name, false), VIDEO_FORMAT_NONE) << name;
}

TEST(VideoFile, RefusesWhatCannotBeWritten) {
  std::string error;
  VideoSettings settings;
  EXPECT_EQ(open_video_file("/nonexistent-dir/out.mkv", settings, error), nullptr);
  EXPECT_NE(error.find("/nonexistent-dir/out.mkv"), std::string::npos) << error;
  settings.format = VIDEO_FORMAT_NONE;
  EXPECT_EQ(open_video_file("out.mkv", settings, error), nullptr);
  settings.format = VIDEO_FORMAT_MKV;
  settings.frame_rate = 0;
  EXPECT_EQ(open_video_file("out.mkv", settings, error), nullptr);
}

// Sound handed over in pieces of any size, down to single frames, and pictures of an odd pitch
// make a complete file in every format.
TEST(VideoFile, EveryFormatTakesAnyPieceSizes) {
  const int width = 64, height = 48, pitch_words = 70;
  std::vector<uint32_t> page(static_cast<size_t>(pitch_words) * height, 0x00FF8000u);
  std::vector<float> sound(2 * 3000, 0.25f);
  for (VideoFormat format :
       {VIDEO_FORMAT_MKV, VIDEO_FORMAT_MP4, VIDEO_FORMAT_WEBM, VIDEO_FORMAT_MKV_LOSSLESS}) {
    const std::string path = testing::TempDir() + "/video_file_test_" + std::to_string(format);
    VideoSettings settings;
    settings.format = format;
    settings.width = width;
    settings.height = height;
    std::string error;
    VideoFile* file = open_video_file(path, settings, error);
    ASSERT_NE(file, nullptr) << error;
    VideoPicture* picture = create_video_picture(file);
    ASSERT_NE(picture, nullptr);
    for (int frames : {1, 735, 2999, 0, 1024}) {
      ASSERT_TRUE(convert_video_picture(file, picture, page.data(), pitch_words * 4));
      ASSERT_TRUE(write_video_picture(file, picture)) << video_file_error(file);
      ASSERT_TRUE(write_video_sound(file, sound.data(), frames)) << video_file_error(file);
    }
    EXPECT_TRUE(finish_video_file(file)) << video_file_error(file);
    free_video_picture(picture);
    close_video_file(file);
    EXPECT_GT(std::filesystem::file_size(path), 1000u) << path;
    std::filesystem::remove(path);
  }
}

}  // namespace
