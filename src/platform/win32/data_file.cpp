#include "platform/data_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/win32/utf8.h"

namespace {

void set_why(std::string* why, const std::string& reason) {
  if (why != nullptr) *why = reason;
}

// Empty when the file may be read, else the reason it may not.
std::string refusal(const struct _stat64& info, uint64_t max_bytes) {
  if ((info.st_mode & _S_IFMT) == _S_IFDIR) return "is a directory";
  if ((info.st_mode & _S_IFMT) != _S_IFREG) return "is not a regular file";
  if (static_cast<uint64_t>(info.st_size) > max_bytes) return data_file_too_large(max_bytes);
  return "";
}

}  // namespace

// Binary ("b"): text mode would turn CR LF into LF and end the file at the first 0x1A. Not
// inherited ("N") by programs the intro might start. Looked at before and after opening, as a
// device or a folder must not be opened at all.
std::FILE* open_data_file(const char* name, uint64_t max_bytes, std::string* why) {
  if (name == nullptr) {
    set_why(why, "no file name");
    return nullptr;
  }
  const std::wstring wide = wide_from_utf8(name);
  if (wide.empty()) {
    set_why(why, *name == 0 ? std::strerror(ENOENT) : "is not a valid UTF-8 name");
    return nullptr;
  }
  struct _stat64 info;
  if (_wstat64(wide.c_str(), &info) != 0) {
    set_why(why, std::strerror(errno));
    return nullptr;
  }
  std::string reason = refusal(info, max_bytes);
  if (!reason.empty()) {
    set_why(why, reason);
    return nullptr;
  }
  std::FILE* file = _wfopen(wide.c_str(), L"rbN");
  if (file == nullptr) {
    set_why(why, std::strerror(errno));
    return nullptr;
  }
  reason = _fstat64(_fileno(file), &info) != 0 ? std::strerror(errno) : refusal(info, max_bytes);
  if (!reason.empty()) {
    std::fclose(file);
    set_why(why, reason);
    return nullptr;
  }
  return file;
}
