#include "support/data_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

class DataFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/data_file_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    const std::string command = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }
  std::string path(const char* name) const { return dir_ + "/" + name; }
  void write(const char* name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  std::string dir_;
};

TEST_F(DataFile, ReadsARegularFileWithinTheLimit) {
  write("small", "abc");
  std::vector<char> bytes;
  std::string why;
  ASSERT_TRUE(read_data_file(path("small").c_str(), 3, bytes, &why)) << why;
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "abc");
  std::FILE* file = open_data_file(path("small").c_str(), 3, &why);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(std::fgetc(file), 'a');
  std::fclose(file);
}

// None of these may block or throw; each gives its reason.
TEST_F(DataFile, RefusesWhatIsNoRegularFileOfASaneSize) {
  write("big", std::string(1u << 20 | 1, 'x'));
  ASSERT_EQ(mkdir(path("dir").c_str(), 0700), 0);
  ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
  const struct {
    std::string name;
    const char* why;
  } cases[] = {
      {path("big"), "is larger than 1 MiB"},          {path("dir"), "is a directory"},
      {path("fifo"), "is not a regular file"},        {"/dev/null", "is not a regular file"},
      {path("missing"), "No such file or directory"},
  };
  for (const auto& c : cases) {
    std::vector<char> bytes{'x'};
    std::string why;
    EXPECT_FALSE(read_data_file(c.name.c_str(), 1u << 20, bytes, &why)) << c.name;
    EXPECT_EQ(why, c.why) << c.name;
    EXPECT_TRUE(bytes.empty());
    why.clear();
    EXPECT_EQ(open_data_file(c.name.c_str(), 1u << 20, &why), nullptr) << c.name;
    EXPECT_EQ(why, c.why) << c.name;
  }
}

TEST_F(DataFile, RefusesAnUnreadableFile) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  write("locked", "abc");
  ASSERT_EQ(chmod(path("locked").c_str(), 0), 0);
  std::vector<char> bytes;
  std::string why;
  EXPECT_FALSE(read_data_file(path("locked").c_str(), 100, bytes, &why));
  EXPECT_EQ(why, "Permission denied");
}

}  // namespace
