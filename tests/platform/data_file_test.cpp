#include "platform/data_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/data_file_fixture.h"

namespace {

// Read whole, in binary, exactly at the size limit: bytes a text-mode read would change or stop
// at (CR LF, a lone LF, 0x1A, NUL), and a file of many chunks under a non-ASCII name.
TEST_F(DataFile, ReadsARegularFileWholeInBinary) {
  std::string large(200000, '\0');
  std::mt19937 random(7);
  for (char& b : large) b = static_cast<char>(random());
  const std::pair<const char*, std::string> files[] = {
      {"picture", std::string("BM\r\n\x1a\0\r\n\n\x1a\xff end", 14)},
      {"\xd0\x98\xd0\xbd\xd1\x82\xd1\x80\xd0\xbe.bin", large}};  // "Интро.bin"
  for (const auto& [name, bytes] : files) {
    write(name, bytes);
    std::vector<char> read;
    std::string why;
    ASSERT_TRUE(read_data_file(path(name).c_str(), bytes.size(), read, &why)) << why;
    EXPECT_TRUE(std::string(read.begin(), read.end()) == bytes) << name;
    std::FILE* file = open_data_file(path(name).c_str(), bytes.size(), &why);
    ASSERT_NE(file, nullptr) << why;
    std::string streamed;
    for (int c; (c = std::fgetc(file)) != EOF;) streamed += static_cast<char>(c);
    std::fclose(file);
    EXPECT_TRUE(streamed == bytes) << name;
  }
}

// None of these may block or throw; each gives its reason.
TEST_F(DataFile, RefusesWhatIsNoRegularFileOfASaneSize) {
  write("big", std::string(1u << 20 | 1, 'x'));
  std::filesystem::create_directory(native(path("dir")));
  expect_refused({{path("big"), "is larger than 1 MiB"},
                  {path("dir"), "is a directory"},
                  {path("missing"), "No such file or directory"}});
}

}  // namespace
