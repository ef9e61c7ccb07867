#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::string folder_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string why(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

// Six letters or digits, from the kernel's generator; the clock and the process id stand in if
// it cannot be read (the exclusive create still refuses any clash).
std::string random_suffix(unsigned attempt) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[6] = {};
  if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    struct timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t mix = static_cast<uint64_t>(now.tv_nsec) * 2654435761u ^
                   static_cast<uint64_t>(getpid()) << 20 ^ attempt;
    for (unsigned char& byte : bytes) {
      byte = static_cast<unsigned char>(mix);
      mix = mix * 6364136223846793005u + 1442695040888963407u;
    }
  }
  std::string suffix;
  for (unsigned char byte : bytes) suffix += kLetters[byte % (sizeof kLetters - 1)];
  return suffix;
}

}  // namespace

std::string output_target_problem(const std::string& target, bool replace) {
  const std::string folder = folder_of(target);
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0) return why("cannot write in " + folder, errno);
  if (!S_ISDIR(info.st_mode)) return "cannot write in " + folder + ": not a folder";
  // The target itself is never followed: a link there is replaced, not written through.
  if (lstat(target.c_str(), &info) != 0) {
    if (errno == ENOENT) return "";
    return why(target, errno);
  }
  if (S_ISDIR(info.st_mode)) return target + ": is a folder";
  if (!replace) return target + ": exists (--force replaces it)";
  return "";
}

bool create_output_file(const std::string& target, OutputFile& file, std::string& error) {
  file = OutputFile{};
  file.target = target;
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string name = target + "." + random_suffix(attempt) + ".part";
    const int descriptor = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH);
    if (descriptor >= 0) {
      file.descriptor = descriptor;
      file.temporary = name;
      return true;
    }
    if (errno != EEXIST) {
      error = why("cannot create a file in " + folder_of(target), errno);
      return false;
    }
  }
  error = "cannot create a file in " + folder_of(target) + ": every name tried is taken";
  return false;
}

int write_output(OutputFile& file, const uint8_t* bytes, size_t size) {
  while (size > 0) {
    const ssize_t written = write(file.descriptor, bytes, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return 0;
}

int64_t seek_output(OutputFile& file, int64_t offset, int whence) {
  const int system_whence = whence == SEEK_CUR   ? SEEK_CUR
                            : whence == SEEK_END ? SEEK_END
                                                 : SEEK_SET;
  const off_t position = lseek(file.descriptor, static_cast<off_t>(offset), system_whence);
  return position < 0 ? -errno : static_cast<int64_t>(position);
}

int64_t output_size(OutputFile& file) {
  struct stat info {};
  if (fstat(file.descriptor, &info) != 0) return -errno;
  return static_cast<int64_t>(info.st_size);
}

int64_t read_output(OutputFile& file, uint8_t* bytes, size_t size, int64_t offset) {
  for (;;) {
    const ssize_t got = pread(file.descriptor, bytes, size, static_cast<off_t>(offset));
    if (got >= 0) return got;
    if (errno != EINTR) return -errno;
  }
}

bool commit_output_file(OutputFile& file, bool replace, std::string& error) {
  int result = fsync(file.descriptor);
  int failure = errno;
  if (close(file.descriptor) != 0 && result == 0) {
    result = -1;
    failure = errno;
  }
  file.descriptor = -1;
  bool linked = false;  // the temporary name still to be removed
  if (result == 0 && replace) {
    result = rename(file.temporary.c_str(), file.target.c_str());
    failure = errno;
  } else if (result == 0) {
    // Only if no file has taken the name since the start. Where the file system cannot rename
    // that way, a hard link does the same (it fails on an existing name).
    result = renameat2(AT_FDCWD, file.temporary.c_str(), AT_FDCWD, file.target.c_str(),
                       RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
      result = link(file.temporary.c_str(), file.target.c_str());
      linked = result == 0;
    }
    failure = errno;
    if (result != 0 && failure == EEXIST) {
      error = file.target + ": appeared during the capture (--force replaces it)";
      failure = 0;
    }
  } else {
    error = why("cannot write " + file.target, failure);
    failure = 0;
  }
  if (result != 0 && failure != 0) error = why("cannot rename to " + file.target, failure);
  if (result != 0 || linked) unlink(file.temporary.c_str());
  file.temporary.clear();
  return result == 0;
}

void discard_output_file(OutputFile& file) {
  if (file.descriptor >= 0) close(file.descriptor);
  file.descriptor = -1;
  if (!file.temporary.empty()) unlink(file.temporary.c_str());
  file.temporary.clear();
}
