// Where the data files are looked for. That the first place holding a name wins even when what
// it holds is broken, that the build tree's intro finds the source tree's data, and why a named
// file cannot be used, are checked on the program itself.
#include "intro/data_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(DataFiles, WorkingDirectoryThenTheInstalledTreeAndTheBareNameWhenNoneHoldsIt) {
  const auto directories = data_directories("/opt/x/bin/" INTRO_COMMAND);
  ASSERT_EQ(directories.size(), 2u);
  EXPECT_EQ(directories[0], "");
#ifdef _WIN32
  // Unpacked from a zip: the data sits beside the program.
  EXPECT_EQ(directories[1], "/opt/x/bin/.");
#else
  // The data folder is named after the command, as the install lays it out.
  EXPECT_EQ(directories[1], "/opt/x/bin/../share/" INTRO_COMMAND);
#endif
  EXPECT_EQ(data_directories(""), std::vector<std::string>{""});
  EXPECT_EQ(find_data_file("header.bmp", {"/nonexistent-intro-data"}), "header.bmp");
}

}  // namespace
