#include <sys/stat.h>
#include <unistd.h>

#include "platform/data_file_fixture.h"

namespace {

// Opening either would block or have a side effect.
TEST_F(DataFile, RefusesFifosAndDevices) {
  ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
  expect_refused({{path("fifo"), "is not a regular file"}, {"/dev/null", "is not a regular file"}});
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
