// Where POSIX systems differ: data files that are no regular files, the window system's
// connection waking the window thread, the session bus, and the capture's output file.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>

#include "platform/data_file_fixture.h"
#include "platform/frame_handoff.h"
#include "platform/output_file.h"
#include "platform/session_bus.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

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

// The window system's connection wakes the window thread as a finished frame does.
TEST(FrameHandoff, WakesForInputOnTheConnection) {
  FrameHandoff handoff;
  ASSERT_TRUE(handoff_open(handoff, 30ms));
  int input[2];
  ASSERT_EQ(pipe(input), 0);
  EXPECT_EQ(handoff_wait(handoff, input[0], 10), WAKE_CEILING);
  ASSERT_EQ(write(input[1], "x", 1), 1);
  EXPECT_EQ(handoff_wait(handoff, input[0], 1000), WAKE_INPUT);
  handoff_frame_finished(handoff);
  EXPECT_EQ(handoff_wait(handoff, input[0], 1000), WAKE_INPUT | WAKE_FRAME);
  close(input[0]);
  close(input[1]);
  handoff_close(handoff);
}

// The address set, else the user's bus socket (its path escaped), else autolaunch disabled; the
// runtime directory has a space in its name.
TEST(SessionBus, AnAddressSetOrTheUsersBusSocketElseAutolaunchDisabled) {
  EXPECT_EQ(session_bus_address("unix:path=/run/user/1000/bus", "/nonexistent"),
            "unix:path=/run/user/1000/bus");
  EXPECT_EQ(session_bus_address("", nullptr), "disabled:");
  EXPECT_EQ(session_bus_address(nullptr, "relative/dir"), "disabled:");
  char pattern[] = "/tmp/bus dir.XXXXXX";
  const std::string dir = mkdtemp(pattern), bus = dir + "/bus";
  EXPECT_EQ(session_bus_address(nullptr, dir.c_str()), "disabled:");
  std::ofstream(bus) << "not a socket";
  EXPECT_EQ(session_bus_address(nullptr, dir.c_str()), "disabled:");
  unlink(bus.c_str());
  const int socket_fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", bus.c_str());
  EXPECT_EQ(bind(socket_fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(session_bus_address(nullptr, dir.c_str()),
            "unix:path=/tmp/bus%20dir" + dir.substr(sizeof "/tmp/bus dir" - 1) + "/bus");
  close(socket_fd);
  unlink(bus.c_str());
  rmdir(dir.c_str());
}

// The capture's output file in a fresh folder: refusals, its temporary file, reads, seeks, commit.
class OutputFileTest : public DataFile {
 protected:
  std::string at(const std::string& name) const { return path(name.c_str()); }
  size_t count() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {}));
  }
};
TEST_F(OutputFileTest, TargetsRefusedBeforeAnythingIsCreated) {
  std::ofstream(at("file")) << "x";
  std::ofstream(at("old.mkv")) << "old";
  fs::create_directory(at("dir.mkv"));
  fs::create_symlink(at("nowhere"), at("link.mkv"));
  // Target, whether replacing is allowed, a part of the refusal or "" for none.
  // A link, even dangling, is something there.
  const std::tuple<std::string, bool, const char*> rows[] = {
      {"new.mkv", false, ""},           {"missing/new.mkv", true, "cannot write in"},
      {"dir.mkv", true, "is a folder"}, {"file/new.mkv", true, "not a folder"},
      {"old.mkv", false, "--force"},    {"old.mkv", true, ""},
      {"link.mkv", false, "--force"},   {"link.mkv", true, ""}};
  for (const auto& [target, replace, part] : rows) {
    const std::string problem = output_target_problem(at(target), replace);
    EXPECT_TRUE(*part ? problem.find(part) != std::string::npos : problem.empty())
        << target << ": " << problem;
  }
  EXPECT_EQ(count(), 4u);
}

TEST_F(OutputFileTest, TheTemporaryFileIsNewBesideItsTargetWithTheUmasksMode) {
  const std::string target = at("clip:2.mkv");
  for (mode_t mask : {022, 077, 002}) {
    const mode_t before = umask(mask);
    OutputFile first, second;
    std::string error;
    ASSERT_TRUE(create_output_file(target, first, error)) << error;
    ASSERT_TRUE(create_output_file(target, second, error)) << error;
    umask(before);
    EXPECT_NE(first.temporary, second.temporary);
    EXPECT_EQ(first.temporary.rfind(target + ".", 0), 0u) << first.temporary;
    EXPECT_EQ(first.temporary.size(), target.size() + 12) << first.temporary;
    struct stat info {};
    ASSERT_EQ(lstat(first.temporary.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask) << std::oct << mask;
    discard_output_file(first);
    discard_output_file(second);
    EXPECT_EQ(count(), 0u);
  }
  OutputFile nowhere;
  std::string error;
  EXPECT_FALSE(create_output_file(at("missing/x.mkv"), nowhere, error));
  EXPECT_NE(error.find("missing"), std::string::npos) << error;
}

// As the .mp4 writer uses it; a target that appeared meanwhile stays unless replacing is allowed.
TEST_F(OutputFileTest, WritesSeeksReadsBackAndCommitsOnlyWhereAllowed) {
  for (bool replace : {false, true}) {
    OutputFile file;
    std::string error;
    ASSERT_TRUE(create_output_file(at("out.mkv"), file, error)) << error;
    ASSERT_EQ(write_output(file, reinterpret_cast<const uint8_t*>("hello world"), 11), 0);
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
    if (replace) std::ofstream(at("out.mkv")) << "theirs";
    EXPECT_TRUE(commit_output_file(file, replace, error)) << error;
    std::ifstream in(at("out.mkv"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "Jello world");
    std::ofstream(at("out.mkv")) << "theirs";
    ASSERT_TRUE(create_output_file(at("out.mkv"), file, error)) << error;
    EXPECT_EQ(commit_output_file(file, replace, error), replace);
    EXPECT_EQ(error.find("--force") != std::string::npos, !replace) << error;
    EXPECT_EQ(fs::file_size(at("out.mkv")), replace ? 0u : 6u);
    EXPECT_EQ(count(), 1u);
  }
}

}  // namespace
