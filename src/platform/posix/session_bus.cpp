#include "platform/session_bus.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

namespace {
// D-Bus addresses escape every byte outside a small safe set as %XX.
std::string escaped_path(const std::string& path) {
  std::string out;
  for (const unsigned char c : path) {
    const bool safe = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                      c == '-' || c == '_' || c == '/' || c == '.' || c == '\\' || c == '*';
    if (safe) {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02x", c);
      out += hex;
    }
  }
  return out;
}
}  // namespace

std::string session_bus_address(const char* set_address, const char* runtime_dir) {
  if (set_address != nullptr && *set_address != 0) return set_address;
  if (runtime_dir != nullptr && *runtime_dir == '/') {
    const std::string bus = std::string(runtime_dir) + "/bus";
    struct stat info;
    if (stat(bus.c_str(), &info) == 0 && S_ISSOCK(info.st_mode))
      return "unix:path=" + escaped_path(bus);
  }
  return "disabled:";
}

void choose_session_bus() {
  const std::string address =
      session_bus_address(std::getenv("DBUS_SESSION_BUS_ADDRESS"), std::getenv("XDG_RUNTIME_DIR"));
  setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
}
