#include "platform/data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

void set_why(std::string* why, const std::string& reason) {
  if (why != nullptr) *why = reason;
}

// Empty when the file may be read, else the reason it may not.
std::string refusal(const struct stat& info, uint64_t max_bytes) {
  if (S_ISDIR(info.st_mode)) return "is a directory";
  if (!S_ISREG(info.st_mode)) return "is not a regular file";
  if (static_cast<uint64_t>(info.st_size) > max_bytes) return data_file_too_large(max_bytes);
  return "";
}

// Looks before it opens, so that opening has no side effect on a device; opens without waiting,
// so that a FIFO swapped in meanwhile cannot block; then looks again at what was opened.
int open_regular(const char* name, uint64_t max_bytes, std::string* why) {
  if (name == nullptr) {
    set_why(why, "no file name");
    return -1;
  }
  struct stat info;
  if (stat(name, &info) != 0) {
    set_why(why, std::strerror(errno));
    return -1;
  }
  std::string reason = refusal(info, max_bytes);
  if (!reason.empty()) {
    set_why(why, reason);
    return -1;
  }
  const int fd = open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    set_why(why, std::strerror(errno));
    return -1;
  }
  if (fstat(fd, &info) != 0) {
    reason = std::strerror(errno);
  } else {
    reason = refusal(info, max_bytes);
  }
  // A regular file reads the same either way; blocking reads keep stdio simple.
  if (reason.empty() && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
    reason = std::strerror(errno);
  if (!reason.empty()) {
    close(fd);
    set_why(why, reason);
    return -1;
  }
  return fd;
}

}  // namespace

std::FILE* open_data_file(const char* name, uint64_t max_bytes, std::string* why) {
  const int fd = open_regular(name, max_bytes, why);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "rb");
  if (file == nullptr) {
    set_why(why, std::strerror(errno));
    close(fd);
  }
  return file;
}
