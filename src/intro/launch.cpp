#include "intro/launch.h"

#include <cmath>
#include <cstdio>

#include "gfx/screen.h"
#include "intro/capture.h"
#include "intro/data_files.h"
#include "intro/header_wobble.h"
#include "intro/intro_icon.h"
#include "intro/scroll_text.h"
#include "intro/sequencer.h"
#include "music/music.h"
#include "platform/display_driver.h"
#include "platform/process.h"
#include "platform/timing.h"
#include "platform/window_start.h"

namespace {

void report(const std::string& file, const std::string& why) {
  std::fprintf(stderr, INTRO_COMMAND ": %s: %s\n", file.c_str(), why.c_str());
}

// A named file must load, and is checked before any window opens; the default files are looked
// for in the data directories and may be missing (silence, the magenta block).
bool choose_files(const IntroOptions& options) {
  const std::vector<std::string> directories = data_directories(executable_path());
  if (options.module_file.empty()) {
    MusicFileName = find_data_file("module.xm", directories);
  } else {
    MusicFileName = options.module_file;
    std::string why;
    if (!load_music(&why)) {
      report(options.module_file, why);
      return false;
    }
  }
  if (options.header_file.empty()) {
    HeaderFileName = find_data_file("header.bmp", directories);
  } else {
    HeaderFileName = options.header_file;
    const std::string why = header_file_problem(HeaderFileName);
    if (!why.empty()) {
      report(options.header_file, why);
      return false;
    }
  }
  return true;
}

// The clock's whole seconds, low 32 bits, so every run's starfield differs.
uint32_t clock_seed() {
  const double now = timer_seconds();
  return static_cast<uint32_t>(static_cast<uint64_t>(std::trunc(now > 0 ? now : 0)));
}

// The capture's settings from the command line; the files are those choose_files picked.
CaptureOptions capture_options(const IntroOptions& options) {
  CaptureOptions capture;
  capture.file = options.capture_file;
  capture.seconds = options.capture_seconds;
  capture.lossless = options.lossless;
  capture.force = options.force;
  if (options.rate > 0) capture.rate = options.rate;
  if (options.seed_given) capture.seed = options.seed;
  capture.module_file = MusicFileName;
  capture.header_file = HeaderFileName;
  return capture;
}

void set_up_window_and_music(const IntroOptions& options) {
  ScreenStartFlags = options.fullscreen ? SCREEN_FULLSCREEN : 0;
  ScreenFrameRate = options.rate;
  // The window keeps the intro's own name whatever the installed command is called.
  set_window_start({options.scale, options.display, IntroIcon, IntroIconSize, "intro"});
  set_music_master_volume(static_cast<float>(options.volume) / 100.0f);
}

// One pass is over: of the music whenever a module loaded (heard or not), else of the scroll
// text, which starts over at the right edge.
bool one_pass_over(int32_t scroll_before) {
  const double length = music_length_seconds();
  if (length > 0.0) return music_heard_seconds() >= length;
  return ScrollPosition > scroll_before;
}

}  // namespace

int run_intro(const IntroOptions& options) {
  if (!choose_files(options)) return 1;
  if (!options.capture_file.empty()) return run_capture(capture_options(options));
  set_up_window_and_music(options);
  const uint32_t seed = options.seed_given ? options.seed : clock_seed();
  if (start_intro(seed, true) != 0) {
    std::fprintf(stderr, INTRO_COMMAND ": cannot open the window: %s\n", display_error());
    return 1;
  }
  if (!music_output_problem().empty())
    std::fprintf(stderr, INTRO_COMMAND ": no sound: %s\n", music_output_problem().c_str());
  int32_t scroll_before = ScrollPosition;
  while (run_frame()) {
    if (options.once && one_pass_over(scroll_before)) request_close();
    scroll_before = ScrollPosition;
  }
  return 0;
}
