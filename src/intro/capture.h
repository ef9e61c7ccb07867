#pragma once
// The intro captured into a video file: every frame drawn without a window at a fixed rate, its
// music decoded offline, one pass of the module (or the given seconds) followed by the fade.
#include <cstdint>
#include <string>

constexpr uint32_t CAPTURE_DEFAULT_SEED = 1;  // fixed, so that two captures are identical
constexpr int CAPTURE_DEFAULT_RATE = 60;
constexpr double CAPTURE_SILENT_SECONDS = 60.0;  // length without music

struct CaptureOptions {
  std::string file;       // .mkv, .mp4 or .webm
  double seconds = -1.0;  // before the fade; below 0: one pass of the module
  bool lossless = false;  // FFV1 in RGB and FLAC, .mkv only
  bool force = false;     // an existing file may be replaced
  int rate = CAPTURE_DEFAULT_RATE;
  uint32_t seed = CAPTURE_DEFAULT_SEED;
  std::string module_file = "module.xm";  // empty: silence
  std::string header_file;                // empty: the intro's own choice
};

// Checks everything it can before the first frame (the extension, the folder, an existing file,
// the writer's module and its libraries), writes a new temporary file beside FILE and renames it
// onto FILE once complete. Returns the exit status: 0 done; 1 a failure (one line on standard
// error says why; nothing is left behind and an existing FILE is untouched); 2 an extension
// without a format; 128 + the signal's number when SIGINT, SIGTERM, SIGHUP, SIGQUIT or SIGPIPE
// ended it (likewise clean). Progress goes to standard error while it is a terminal, otherwise
// one summary line at the end.
int run_capture(const CaptureOptions& options);
