#include "platform/session_bus.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

// A private runtime directory, with a space in its name, and optionally a bus socket in it.
struct RuntimeDir {
  std::string path;
  int socket_fd = -1;
  RuntimeDir() {
    char pattern[] = "/tmp/bus dir.XXXXXX";
    path = mkdtemp(pattern);
  }
  void add_bus() {
    socket_fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s/bus", path.c_str());
    ASSERT_EQ(bind(socket_fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  }
  ~RuntimeDir() {
    if (socket_fd >= 0) close(socket_fd);
    unlink((path + "/bus").c_str());
    rmdir(path.c_str());
  }
};

// The address set, else the user's bus socket (its path escaped), else autolaunch disabled.
TEST(SessionBus, AnAddressSetOrTheUsersBusSocketElseAutolaunchDisabled) {
  EXPECT_EQ(session_bus_address("unix:path=/run/user/1000/bus", "/nonexistent"),
            "unix:path=/run/user/1000/bus");
  EXPECT_EQ(session_bus_address("", nullptr), "disabled:");
  EXPECT_EQ(session_bus_address(nullptr, "relative/dir"), "disabled:");
  RuntimeDir dir;
  EXPECT_EQ(session_bus_address(nullptr, dir.path.c_str()), "disabled:");
  std::FILE* not_a_socket = std::fopen((dir.path + "/bus").c_str(), "w");
  ASSERT_NE(not_a_socket, nullptr);
  std::fclose(not_a_socket);
  EXPECT_EQ(session_bus_address(nullptr, dir.path.c_str()), "disabled:");
  unlink((dir.path + "/bus").c_str());
  dir.add_bus();
  EXPECT_EQ(session_bus_address(nullptr, dir.path.c_str()),
            "unix:path=/tmp/bus%20dir" + dir.path.substr(sizeof "/tmp/bus dir" - 1) + "/bus");
}

}  // namespace
