// The writer module, loaded as the program loads it, writing into memory through its output
// table: every format takes pictures and sound in any piece sizes, the .mp4 index is moved to
// the front by reading the output back, and a failing output fails the writer with its reason.
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
  EXPECT_EQ(video_format_for_name("out.mkv", false), VIDEO_FORMAT_MKV);
  EXPECT_EQ(video_format_for_name("dir/OUT.MKV", false), VIDEO_FORMAT_MKV);
  EXPECT_EQ(video_format_for_name("a.b.mp4", false), VIDEO_FORMAT_MP4);
  EXPECT_EQ(video_format_for_name("x.WebM", false), VIDEO_FORMAT_WEBM);
  EXPECT_EQ(video_format_for_name("out.mkv", true), VIDEO_FORMAT_MKV_LOSSLESS);
  // .avi and lossless outside Matroska are refused by the program in its tests.
  for (const char* name : {"out", "out.", "film.mkv/out", "out.mkv.part", ""})
    EXPECT_EQ(video_format_for_name(name, false), VIDEO_FORMAT_NONE) << name;
}

TEST(VideoFileModule, TheFailingLibraryIsNamedFromTheLoadersMessage) {
  const std::string module = "/usr/lib/intro/intro-capture.so";
  const struct {
    std::string message;
    std::string library;
  } rows[] = {
      {"libavcodec.so.59: cannot open shared object file: No such file or directory",
       "libavcodec.so.59"},
      {module + ": cannot open shared object file: No such file or directory", ""},
      {module + ": invalid ELF header", ""},
      {"/opt/lib/libswscale.so.6: file too short", "/opt/lib/libswscale.so.6"},
      {"no colon at all, No such file", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(failing_library(row.message, module), row.library);
}

TEST(VideoFileModule, NotFoundAndNotAModuleAreToldApart) {
  std::string error;
  EXPECT_EQ(load_video_file_functions({"/nonexistent-a/m.so", "/nonexistent-b/m.so"}, "p", error),
            nullptr);
  EXPECT_NE(error.find("/nonexistent-a/m.so, /nonexistent-b/m.so"), std::string::npos) << error;
  const std::string text = testing::TempDir() + "/not_a_module.so";
  std::ofstream(text) << "text";
  EXPECT_EQ(load_video_file_functions({"/nonexistent-a/m.so", text}, "p", error), nullptr);
  EXPECT_EQ(error.rfind("cannot load the capture: " + text, 0), 0u) << error;
  std::remove(text.c_str());
}

// An output in memory that fails with ENOSPC past `limit` bytes.
struct Memory {
  std::vector<uint8_t> bytes;
  size_t position = 0;
  size_t limit = SIZE_MAX;
  int reads = 0;
};

VideoOutput memory_output(Memory& memory) {
  VideoOutput output{};
  output.context = &memory;
  output.write = [](void* context, const uint8_t* bytes, size_t size) {
    auto& m = *static_cast<Memory*>(context);
    if (m.position + size > m.limit) return ENOSPC;
    if (m.position + size > m.bytes.size()) m.bytes.resize(m.position + size);
    std::memcpy(m.bytes.data() + m.position, bytes, size);
    m.position += size;
    return 0;
  };
  output.seek = [](void* context, int64_t offset, int whence) -> int64_t {
    auto& m = *static_cast<Memory*>(context);
    const int64_t base = whence == SEEK_CUR   ? static_cast<int64_t>(m.position)
                         : whence == SEEK_END ? static_cast<int64_t>(m.bytes.size())
                                              : 0;
    if (base + offset < 0) return -EINVAL;
    m.position = static_cast<size_t>(base + offset);
    return base + offset;
  };
  output.size = [](void* context) {
    return static_cast<int64_t>(static_cast<Memory*>(context)->bytes.size());
  };
  output.read_at = [](void* context, uint8_t* bytes, size_t size, int64_t offset) -> int64_t {
    auto& m = *static_cast<Memory*>(context);
    ++m.reads;
    if (static_cast<size_t>(offset) >= m.bytes.size()) return 0;
    const size_t count = std::min(size, m.bytes.size() - static_cast<size_t>(offset));
    std::memcpy(bytes, m.bytes.data() + offset, count);
    return static_cast<int64_t>(count);
  };
  return output;
}

const VideoFileFunctions* writer() {
  std::string error;
  const VideoFileFunctions* video =
      load_video_file_functions({INTRO_CAPTURE_MODULE_PATH}, "packages", error);
  EXPECT_NE(video, nullptr) << error;
  return video;
}

size_t find(const std::vector<uint8_t>& bytes, const char* text) {
  const std::string needle(text);
  const auto at = std::search(bytes.begin(), bytes.end(), needle.begin(), needle.end());
  return static_cast<size_t>(at - bytes.begin());
}

// Sound handed over in pieces of any size, down to single frames, and pictures of an odd pitch
// make a complete file in every format; the .mp4's index ends up before its media data.
TEST(VideoFile, EveryFormatTakesAnyPieceSizes) {
  const VideoFileFunctions* video = writer();
  ASSERT_NE(video, nullptr);
  const int width = 64, height = 48, pitch_words = 70;
  std::vector<uint32_t> page(static_cast<size_t>(pitch_words) * height, 0x00FF8000u);
  std::vector<float> sound(2 * 3000, 0.25f);
  const struct {
    VideoFormat format;
    std::vector<uint8_t> magic;
  } rows[] = {{VIDEO_FORMAT_MKV, {0x1A, 0x45, 0xDF, 0xA3}},
              {VIDEO_FORMAT_MP4, {0, 0, 0, 0x20, 'f', 't', 'y', 'p'}},
              {VIDEO_FORMAT_WEBM, {0x1A, 0x45, 0xDF, 0xA3}},
              {VIDEO_FORMAT_MKV_LOSSLESS, {0x1A, 0x45, 0xDF, 0xA3}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.format);
    VideoSettings settings;
    settings.format = row.format;
    settings.width = width;
    settings.height = height;
    Memory memory;
    std::string error;
    VideoFile* file = video->open(memory_output(memory), "clip", settings, error);
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
    EXPECT_TRUE(std::equal(row.magic.begin(), row.magic.end(), memory.bytes.begin()));
    if (row.format == VIDEO_FORMAT_MP4) {
      EXPECT_GT(memory.reads, 0);
      EXPECT_LT(find(memory.bytes, "moov"), find(memory.bytes, "mdat"));
      EXPECT_LT(find(memory.bytes, "mdat"), memory.bytes.size());
    } else {
      EXPECT_EQ(memory.reads, 0);
    }
  }
}

// A full disk at the header or in the middle fails the call that met it, naming the file and
// the reason; bad settings are refused before anything is written.
TEST(VideoFile, AFailingOutputFailsTheWriter) {
  const VideoFileFunctions* video = writer();
  ASSERT_NE(video, nullptr);
  VideoSettings settings;
  settings.width = 64;
  settings.height = 48;
  std::string error;
  Memory full;
  full.limit = 0;
  EXPECT_EQ(video->open(memory_output(full), "full.mkv", settings, error), nullptr);
  EXPECT_NE(error.find("full.mkv"), std::string::npos) << error;
  EXPECT_NE(error.find("No space left"), std::string::npos) << error;

  Memory later;
  later.limit = 20000;
  VideoFile* file = video->open(memory_output(later), "later.mkv", settings, error);
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
  if (ok) ok = video->finish(file);
  EXPECT_FALSE(ok);
  EXPECT_NE(std::string(video->error(file)).find("later.mkv"), std::string::npos);
  EXPECT_NE(std::string(video->error(file)).find("No space left"), std::string::npos);
  video->free_picture(picture);
  video->close(file);

  for (VideoSettings bad : {VideoSettings{VIDEO_FORMAT_NONE}, VideoSettings{VIDEO_FORMAT_MKV, 0},
                            VideoSettings{VIDEO_FORMAT_MKV, 64, 48, 0}}) {
    Memory untouched;
    EXPECT_EQ(video->open(memory_output(untouched), "x.mkv", bad, error), nullptr);
    EXPECT_TRUE(untouched.bytes.empty());
  }
}

}  // namespace
