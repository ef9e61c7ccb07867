#pragma once
// A fresh folder per test for the data and output file tests, and the check that a name is refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/data_file.h"

class DataFile : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() / (std::string("data_file_test_") + test->name() +
                                                     "_" + std::to_string(std::random_device()()));
    std::filesystem::remove_all(dir_);
    ASSERT_TRUE(std::filesystem::create_directory(dir_));
  }
  void TearDown() override {
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add);
    std::filesystem::remove_all(dir_);
  }
  // UTF-8, with '/' between folders, as the program's own names are.
  std::string path(const char* name) const {
    return reinterpret_cast<const char*>(dir_.generic_u8string().c_str()) + std::string("/") + name;
  }
  // The file system's own name for a UTF-8 one (u8path is deprecated, and an error in libc++).
  static std::filesystem::path native(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
  }
  void write(const char* name, const std::string& bytes) const {
    std::ofstream(native(path(name)), std::ios::binary) << bytes;
  }
  // Each name is refused for its reason, by both ways of reading.
  static void expect_refused(const std::vector<std::pair<std::string, const char*>>& cases) {
    for (const auto& [name, reason] : cases) {
      std::vector<char> bytes{'x'};
      std::string why;
      EXPECT_FALSE(read_data_file(name.c_str(), 1u << 20, bytes, &why)) << name;
      EXPECT_EQ(why, reason) << name;
      EXPECT_TRUE(bytes.empty());
      why.clear();
      EXPECT_EQ(open_data_file(name.c_str(), 1u << 20, &why), nullptr) << name;
      EXPECT_EQ(why, reason) << name;
    }
  }
  std::filesystem::path dir_;
};
