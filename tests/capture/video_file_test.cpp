// The writer module, loaded as the program loads it, writing into memory through its output table.
#include "capture/video_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "capture/video_file_module.h"

namespace {

TEST(VideoFormat, ChosenByTheExtensionInAnyCase) {
  // clang-format off
  const std::pair<const char*, VideoFormat> rows[] = {
      {"out.mkv", VIDEO_FORMAT_MKV}, {"dir/OUT.MKV", VIDEO_FORMAT_MKV},
      {"a.b.mp4", VIDEO_FORMAT_MP4}, {"x.WebM", VIDEO_FORMAT_WEBM}, {"out", VIDEO_FORMAT_NONE},
      {"out.", VIDEO_FORMAT_NONE}, {"film.mkv/out", VIDEO_FORMAT_NONE},
      {"out.mkv.part", VIDEO_FORMAT_NONE}, {"", VIDEO_FORMAT_NONE}};
  // clang-format on
  for (auto [name, format] : rows) EXPECT_EQ(video_format_for_name(name, false), format) << name;
  EXPECT_EQ(video_format_for_name("out.mkv", true), VIDEO_FORMAT_MKV_LOSSLESS);
}

TEST(VideoFileModule, NamesTheFailingLibraryAndTellsNotFoundFromNotAModule) {
  const std::string module = "/usr/lib/intro/intro-capture.so",
                    missing = ": cannot open shared object file: No such file";
  const std::pair<std::string, std::string> rows[] = {
      {"libavcodec.so.59" + missing, "libavcodec.so.59"},
      {module + missing, ""},
      {module + ": invalid ELF header", ""},
      {"/opt/lib/libswscale.so.6: file too short", "/opt/lib/libswscale.so.6"},
      {"no colon at all, No such file", ""}};
  for (const auto& [message, library] : rows) EXPECT_EQ(failing_library(message, module), library);
  std::string error;
  const std::string text = testing::TempDir() + "/not_a_module.so";
  std::ofstream(text) << "text";
  EXPECT_EQ(load_video_file_functions({"/nonexistent-a/m.so", "/nonexistent-b/m.so"}, "p", error),
            nullptr);
  EXPECT_NE(error.find("/nonexistent-a/m.so, /nonexistent-b/m.so"), std::string::npos) << error;
  EXPECT_EQ(load_video_file_functions({"/nonexistent-a/m.so", text}, "p", error), nullptr);
  EXPECT_EQ(error.rfind("cannot load the capture: " + text, 0), 0u) << error;
  std::remove(text.c_str());
}

// An output in memory that fails with ENOSPC past `limit` bytes.
struct Memory {
  std::vector<uint8_t> bytes;
  size_t position = 0, limit = SIZE_MAX;
  int reads = 0;
  static Memory& of(void* context) { return *static_cast<Memory*>(context); }
  VideoOutput output() {
    return {this,
            [](void* c, const uint8_t* data, size_t size) {
              Memory& m = of(c);
              if (m.position + size > m.limit) return ENOSPC;
              m.bytes.resize(std::max(m.bytes.size(), m.position + size));
              std::memcpy(m.bytes.data() + m.position, data, size);
              m.position += size;
              return 0;
            },
            [](void* c, int64_t offset, int whence) -> int64_t {
              Memory& m = of(c);
              const int64_t base = whence == SEEK_CUR   ? static_cast<int64_t>(m.position)
                                   : whence == SEEK_END ? static_cast<int64_t>(m.bytes.size())
                                                        : 0;
              if (base + offset < 0) return -EINVAL;
              m.position = static_cast<size_t>(base + offset);
              return base + offset;
            },
            [](void* c) { return static_cast<int64_t>(of(c).bytes.size()); },
            [](void* c, uint8_t* data, size_t size, int64_t offset) -> int64_t {
              Memory& m = of(c);
              ++m.reads;
              const auto at = std::min(static_cast<size_t>(offset), m.bytes.size());
              const size_t count = std::min(size, m.bytes.size() - at);
              std::memcpy(data, m.bytes.data() + at, count);
              return static_cast<int64_t>(count);
            }};
  }
  size_t find(const std::string& text) const {
    return std::string(bytes.begin(), bytes.end()).find(text);
  }
};

class VideoFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    video = load_video_file_functions({INTRO_CAPTURE_MODULE_PATH}, "packages", error);
    ASSERT_NE(video, nullptr) << error;
  }
  const VideoFileFunctions* video = nullptr;
};

// Any sound piece sizes and an odd pitch make a whole file in every format; .mp4's index first.
TEST_F(VideoFileTest, EveryFormatTakesAnyPieceSizes) {
  const int pitch_words = 70;
  std::vector<uint32_t> page(static_cast<size_t>(pitch_words) * 48, 0x00FF8000u);
  std::vector<float> sound(2 * 3000, 0.25f);
  for (VideoFormat format :
       {VIDEO_FORMAT_MKV, VIDEO_FORMAT_MP4, VIDEO_FORMAT_WEBM, VIDEO_FORMAT_MKV_LOSSLESS}) {
    const std::string magic =
        format == VIDEO_FORMAT_MP4 ? std::string("\0\0\0 ftyp", 8) : "\x1A\x45\xDF\xA3";
    SCOPED_TRACE(format);
    Memory memory;
    std::string error;
    VideoFile* file = video->open(memory.output(), "clip", {format, 64, 48}, error);
    ASSERT_NE(file, nullptr) << error;
    VideoPicture* picture = video->create_picture(file);
    ASSERT_NE(picture, nullptr);
    for (int frames : {1, 735, 2999, 0, 1024}) {
      ASSERT_TRUE(video->convert_picture(file, picture, page.data(), pitch_words * 4));
      ASSERT_TRUE(video->write_picture(file, picture)) << video->error(file);
      ASSERT_TRUE(video->write_sound(file, sound.data(), frames)) << video->error(file);
    }
    EXPECT_TRUE(video->finish(file)) << video->error(file);
    video->free_picture(picture);
    video->close(file);
    ASSERT_GT(memory.bytes.size(), 1000u);
    EXPECT_EQ(memory.find(magic), 0u);
    EXPECT_EQ(memory.reads > 0, format == VIDEO_FORMAT_MP4);
    const size_t mdat = memory.find("mdat");
    EXPECT_EQ(memory.find("moov") < mdat && mdat != std::string::npos, format == VIDEO_FORMAT_MP4);
  }
}

// A full disk fails the call that met it, naming file and reason; bad settings write nothing.
TEST_F(VideoFileTest, AFailingOutputFailsTheWriter) {
  const VideoSettings settings{VIDEO_FORMAT_MKV, 64, 48};
  std::string error;
  Memory full{{}, 0, 0};
  EXPECT_EQ(video->open(full.output(), "full.mkv", settings, error), nullptr);
  EXPECT_NE(error.find("full.mkv: No space left"), std::string::npos) << error;

  Memory later{{}, 0, 20000};
  VideoFile* file = video->open(later.output(), "later.mkv", settings, error);
  ASSERT_NE(file, nullptr) << error;
  VideoPicture* picture = video->create_picture(file);
  std::vector<uint32_t> page(64 * 48);
  uint32_t noise = 1;
  bool ok = true;
  for (int n = 0; n < 200 && ok; ++n) {
    for (uint32_t& word : page) word = noise = noise * 1664525u + 1013904223u;  // incompressible
    ok = video->convert_picture(file, picture, page.data(), 64 * 4) &&
         video->write_picture(file, picture);
  }
  EXPECT_FALSE(ok && video->finish(file));
  EXPECT_NE(std::string(video->error(file)).find("later.mkv: No space left"), std::string::npos)
      << video->error(file);
  video->free_picture(picture);
  video->close(file);

  for (VideoSettings bad : {VideoSettings{VIDEO_FORMAT_NONE}, VideoSettings{VIDEO_FORMAT_MKV, 0},
                            VideoSettings{VIDEO_FORMAT_MKV, 64, 48, 0}}) {
    Memory untouched;
    EXPECT_EQ(video->open(untouched.output(), "x.mkv", bad, error), nullptr);
    EXPECT_TRUE(untouched.bytes.empty());
  }
}

}  // namespace
