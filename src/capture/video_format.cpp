#include "capture/video_format.h"

#include <cctype>

VideoFormat video_format_for_name(const std::string& name, bool lossless) {
  const size_t dot = name.find_last_of("./");
  if (dot == std::string::npos || name[dot] != '.') return VIDEO_FORMAT_NONE;
  std::string extension = name.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension == "mkv") return lossless ? VIDEO_FORMAT_MKV_LOSSLESS : VIDEO_FORMAT_MKV;
  if (lossless) return VIDEO_FORMAT_NONE;
  if (extension == "mp4") return VIDEO_FORMAT_MP4;
  if (extension == "webm") return VIDEO_FORMAT_WEBM;
  return VIDEO_FORMAT_NONE;
}

const char* supported_video_extensions() {
  return ".mkv, .mp4, .webm";
}
