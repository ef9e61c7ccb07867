#include "intro/data_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

TEST(DataFiles, WorkingDirectoryThenTheInstalledTree) {
  const auto directories = data_directories("/opt/x/bin/intro");
  ASSERT_EQ(directories.size(), 2u);
  EXPECT_EQ(directories[0], "");
  EXPECT_EQ(directories[1], "/opt/x/bin/../share/intro");
  EXPECT_EQ(data_directories("").size(), 1u);
}

TEST(DataFiles, TheBuildTreesExecutableAlsoLooksInTheSourceData) {
  // The test executables sit beside the intro in the build tree.
  const auto directories = data_directories(executable_path());
  ASSERT_EQ(directories.size(), 3u);
  struct stat info;
  EXPECT_EQ(stat((directories[2] + "/header.bmp").c_str(), &info), 0) << directories[2];
}

TEST(DataFiles, TheFirstDirectoryHoldingTheNameWins) {
  char pattern[] = "/tmp/data_files_test.XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string root = pattern;
  for (const char* sub : {"/a", "/b", "/c"}) ASSERT_EQ(mkdir((root + sub).c_str(), 0700), 0);
  // Something broken in an earlier place hides a good file further on.
  ASSERT_EQ(mkdir((root + "/b/module.xm").c_str(), 0700), 0);
  std::FILE* file = std::fopen((root + "/c/module.xm").c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  EXPECT_EQ(find_data_file("module.xm", {root + "/a", root + "/b", root + "/c"}),
            root + "/b/module.xm");
  EXPECT_EQ(find_data_file("module.xm", {root + "/a", root + "/c"}), root + "/c/module.xm");
  EXPECT_EQ(find_data_file("header.bmp", {root + "/a"}), "header.bmp");
  ASSERT_EQ(std::system(("rm -rf '" + root + "'").c_str()), 0);
}

TEST(DataFiles, HeaderProblemsAreNamed) {
  EXPECT_EQ(header_file_problem("../../data/header.bmp"), "");
  EXPECT_EQ(header_file_problem("../../data/module.xm"),
            "is not a Windows bitmap that can be shown");
  EXPECT_EQ(header_file_problem("/tmp"), "is a directory");
}

}  // namespace
