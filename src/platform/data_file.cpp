#include "platform/data_file.h"

#include <cerrno>
#include <cstring>

std::string data_file_too_large(uint64_t max_bytes) {
  return "is larger than " + std::to_string(max_bytes >> 20) + " MiB";
}

bool read_data_file(const char* name, uint64_t max_bytes, std::vector<char>& bytes,
                    std::string* why) {
  bytes.clear();
  std::FILE* file = open_data_file(name, max_bytes, why);
  if (file == nullptr) return false;
  // The file may grow after the look: read at most one chunk past the limit to notice.
  char chunk[65536];
  bool ok = true;
  for (;;) {
    const size_t got = std::fread(chunk, 1, sizeof chunk, file);
    bytes.insert(bytes.end(), chunk, chunk + got);
    if (bytes.size() > max_bytes) {
      if (why != nullptr) *why = data_file_too_large(max_bytes);
      ok = false;
      break;
    }
    if (got < sizeof chunk) {
      if (std::ferror(file)) {
        if (why != nullptr) *why = std::strerror(errno);
        ok = false;
      }
      break;
    }
  }
  std::fclose(file);
  if (!ok) bytes.clear();
  return ok;
}
