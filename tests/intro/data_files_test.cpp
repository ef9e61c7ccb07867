// Where the data files are looked for. That the build tree's intro finds the source tree's data,
// and why a named file cannot be used, are checked on the program itself.
#include "intro/data_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

TEST(DataFiles, WorkingDirectoryThenTheInstalledTree) {
  const auto directories = data_directories("/opt/x/bin/intro");
  ASSERT_EQ(directories.size(), 2u);
  EXPECT_EQ(directories[0], "");
  EXPECT_EQ(directories[1], "/opt/x/bin/../share/intro");
  EXPECT_EQ(data_directories("").size(), 1u);
}

TEST(DataFiles, TheFirstDirectoryHoldingTheNameWins) {
  const std::string root =
      std::filesystem::temp_directory_path() / ("data_files_" + std::to_string(getpid()));
  std::filesystem::create_directories(root + "/a");
  // Something broken in an earlier place hides a good file further on.
  std::filesystem::create_directories(root + "/b/module.xm");
  std::filesystem::create_directories(root + "/c");
  std::ofstream(root + "/c/module.xm").put('x');
  EXPECT_EQ(find_data_file("module.xm", {root + "/a", root + "/b", root + "/c"}),
            root + "/b/module.xm");
  EXPECT_EQ(find_data_file("module.xm", {root + "/a", root + "/c"}), root + "/c/module.xm");
  EXPECT_EQ(find_data_file("header.bmp", {root + "/a"}), "header.bmp");
  std::filesystem::remove_all(root);
}

}  // namespace
