#include "intro/data_files.h"

#include "gfx/bmp.h"
#include "gfx/bmp_decode.h"
#include "intro/header_wobble.h"
#include "platform/data_file.h"
#include "platform/process.h"

#ifndef INTRO_DATA_FROM_BIN
#define INTRO_DATA_FROM_BIN "../share/intro"
#endif

#ifndef INTRO_CAPTURE_FROM_BIN
#define INTRO_CAPTURE_FROM_BIN "../lib/intro"
#endif
#ifndef INTRO_CAPTURE_MODULE
#define INTRO_CAPTURE_MODULE "intro-capture.so"
#endif

namespace {

std::string parent_directory(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool in_build_tree(const std::string& bin) {
#ifdef INTRO_BUILD_DIR
  const std::string build = real_path(INTRO_BUILD_DIR);
  return !build.empty() && real_path(bin) == build;
#else
  (void)bin;
  return false;
#endif
}

}  // namespace

std::vector<std::string> data_directories(const std::string& executable) {
  std::vector<std::string> directories{""};
  if (executable.empty()) return directories;
  const std::string bin = parent_directory(executable);
  directories.push_back(bin + "/" INTRO_DATA_FROM_BIN);
#ifdef INTRO_SOURCE_DATA_DIR
  if (in_build_tree(bin)) directories.push_back(INTRO_SOURCE_DATA_DIR);
#endif
  return directories;
}

std::vector<std::string> capture_module_paths(const std::string& executable) {
  if (executable.empty()) return {};
  const std::string bin = parent_directory(executable);
  std::vector<std::string> paths{bin + "/" INTRO_CAPTURE_FROM_BIN "/" INTRO_CAPTURE_MODULE};
  if (in_build_tree(bin)) paths.push_back(bin + "/" INTRO_CAPTURE_MODULE);
  return paths;
}

std::string find_data_file(const std::string& name, const std::vector<std::string>& directories) {
  for (const std::string& directory : directories) {
    const std::string path = directory.empty() ? name : directory + "/" + name;
    if (something_at(path)) return path;
  }
  return name;
}

std::string header_file_problem(const std::string& name) {
  std::vector<char> bytes;
  std::string why;
  if (!read_data_file(name.c_str(), MAX_BMP_FILE_BYTES, bytes, &why)) return why;
  if (bytes.empty()) return "is empty";
  BmpMemory memory{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
  const BmpSource source = bmp_memory_source(memory);
  BmpLayout layout;
  // Decoded whole into a picture of the header's own size and pixel format, as the intro will:
  // a layout that reads well can still hold too few or impossible pixels. 'B' starts a bitmap.
  std::vector<uint32_t> pixels(HEADER_WIDTH * HEADER_HEIGHT);
  std::vector<uint8_t*> rows;
  for (int y = 0; y < HEADER_HEIGHT; ++y)
    rows.push_back(reinterpret_cast<uint8_t*>(pixels.data() + y * HEADER_WIDTH));
  const BmpTarget target{rows.data(), HEADER_WIDTH, HEADER_HEIGHT, 4, 0};
  if (bytes[0] != 'B' || read_bmp_layout(source, layout) != 0 || check_bmp_target(layout, 4) != 0 ||
      convert_bmp_rows(source, layout, target) != 0)
    return "is not a Windows bitmap that can be shown";
  return "";
}
