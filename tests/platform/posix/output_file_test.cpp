// The capture's output file: what is refused before anything is created, a temporary file that
// is new, private to its writer and beside its target, with the umask's permissions, and a
// commit that replaces the target only when allowed.
#include "platform/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Folder {
  fs::path path;
  Folder() {
    path = fs::temp_directory_path() / ("output_file_test_" + std::to_string(::getpid()));
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~Folder() { fs::remove_all(path); }
  std::string at(const std::string& name) const { return (path / name).string(); }
  size_t count() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(path), {}));
  }
};

std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_all(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

TEST(OutputFile, TargetsRefusedBeforeAnythingIsCreated) {
  Folder folder;
  write_all(folder.at("file"), "x");
  write_all(folder.at("old.mkv"), "old");
  fs::create_directory(folder.at("dir.mkv"));
  fs::create_symlink(folder.at("nowhere"), folder.at("link.mkv"));
  const struct {
    std::string target;
    bool replace;
    const char* problem;  // a part of the line, or "" for none
  } rows[] = {
      {folder.at("new.mkv"), false, ""},
      {folder.at("missing/new.mkv"), true, "cannot write in"},
      {folder.at("file/new.mkv"), true, "not a folder"},
      {folder.at("dir.mkv"), true, "is a folder"},
      {folder.at("old.mkv"), false, "--force"},
      {folder.at("old.mkv"), true, ""},
      {folder.at("link.mkv"), false, "--force"},  // a link, even dangling, is something there
      {folder.at("link.mkv"), true, ""},
  };
  for (const auto& row : rows) {
    const std::string problem = output_target_problem(row.target, row.replace);
    if (*row.problem == '\0') {
      EXPECT_EQ(problem, "") << row.target;
    } else {
      EXPECT_NE(problem.find(row.problem), std::string::npos) << row.target << ": " << problem;
    }
  }
  EXPECT_EQ(folder.count(), 4u);
}

TEST(OutputFile, TheTemporaryFileIsNewBesideItsTargetWithTheUmasksMode) {
  Folder folder;
  const std::string target = folder.at("clip:2.mkv");
  for (mode_t mask : {022, 077, 002}) {
    const mode_t before = umask(mask);
    OutputFile first, second;
    std::string error;
    ASSERT_TRUE(create_output_file(target, first, error)) << error;
    ASSERT_TRUE(create_output_file(target, second, error)) << error;
    umask(before);
    EXPECT_NE(first.temporary, second.temporary);
    EXPECT_EQ(fs::path(first.temporary).parent_path(), folder.path);
    EXPECT_EQ(first.temporary.rfind(target + ".", 0), 0u) << first.temporary;
    EXPECT_EQ(first.temporary.size(), target.size() + 12) << first.temporary;
    struct stat info {};
    ASSERT_EQ(lstat(first.temporary.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask) << std::oct << mask;
    discard_output_file(first);
    discard_output_file(second);
    EXPECT_EQ(folder.count(), 0u);
  }
  OutputFile nowhere;
  std::string error;
  EXPECT_FALSE(create_output_file(folder.at("missing/x.mkv"), nowhere, error));
  EXPECT_NE(error.find("missing"), std::string::npos) << error;
}

// Writes, seeks and reads back as the writer does (the .mp4 index is moved by reading back).
TEST(OutputFile, WritesSeeksAndReadsBackWithoutMovingThePosition) {
  Folder folder;
  OutputFile file;
  std::string error;
  ASSERT_TRUE(create_output_file(folder.at("out.mkv"), file, error)) << error;
  const std::string text = "hello world";
  ASSERT_EQ(write_output(file, reinterpret_cast<const uint8_t*>(text.data()), text.size()), 0);
  EXPECT_EQ(seek_output(file, 0, SEEK_SET), 0);
  ASSERT_EQ(write_output(file, reinterpret_cast<const uint8_t*>("J"), 1), 0);
  EXPECT_EQ(output_size(file), 11);
  uint8_t got[16] = {};
  EXPECT_EQ(read_output(file, got, sizeof got, 6), 5);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(got), 5), "world");
  EXPECT_EQ(read_output(file, got, sizeof got, 11), 0);
  EXPECT_EQ(seek_output(file, 0, SEEK_CUR), 1);  // reading back left the position alone
  EXPECT_EQ(seek_output(file, -1, SEEK_END), 10);
  EXPECT_LT(seek_output(file, -20, SEEK_SET), 0);
  ASSERT_TRUE(commit_output_file(file, false, error)) << error;
  EXPECT_EQ(read_all(folder.at("out.mkv")), "Jello world");
  EXPECT_EQ(folder.count(), 1u);
}

// A target that appeared during the writing is kept unless replacing was allowed; either way the
// temporary file goes.
TEST(OutputFile, CommitReplacesOnlyWhenAllowed) {
  Folder folder;
  const std::string target = folder.at("out.mkv");
  for (bool replace : {false, true}) {
    OutputFile file;
    std::string error;
    ASSERT_TRUE(create_output_file(target, file, error)) << error;
    ASSERT_EQ(write_output(file, reinterpret_cast<const uint8_t*>("new"), 3), 0);
    write_all(target, "theirs");
    EXPECT_EQ(commit_output_file(file, replace, error), replace) << error;
    EXPECT_EQ(read_all(target), replace ? "new" : "theirs");
    EXPECT_EQ(error.find("--force") != std::string::npos, !replace) << error;
    EXPECT_EQ(folder.count(), 1u);
  }
}

}  // namespace
