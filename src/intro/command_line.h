#pragma once
// The intro's command line, parsed into a plain record. Started without options the intro is
// exactly the program it always was; every option is added around it.
#include <cstdint>
#include <string>
#include <vector>

struct IntroOptions {
  std::string module_file;  // empty: module.xm, looked for where the data files live
  std::string header_file;  // empty: header.bmp, likewise
  bool fullscreen = false;
  int scale = 1;     // a window of scale*640 by scale*480, each pixel scale*scale
  int display = -1;  // the monitor, as an SDL display index; -1: where the window system puts it
  int rate = 0;      // frames per second; 0: the display's refresh
  int volume = 100;  // master gain in percent, under the fade's volume
  bool seed_given = false;
  uint32_t seed = 0;         // the starfield's seed when given, else the clock's
  bool once = false;         // fade out and end after one pass of the music (or of the scroll text)
  std::string capture_file;  // non-empty: write a video file instead of opening a window
  double capture_seconds = -1.0;  // before the capture's fade; below 0: one pass of the music
  bool lossless = false;          // a lossless capture
  bool force = false;             // the capture may replace an existing file
  bool operator==(const IntroOptions&) const = default;
};

enum CommandLineStatus {
  COMMAND_LINE_RUN,   // start the intro with the options
  COMMAND_LINE_DONE,  // help or version asked for: print message on stdout, end with status 0
  COMMAND_LINE_BAD,   // print message (one line) on stderr, end with status 2
};

// Fills options from the arguments (UTF-8, the program's name first; a value may hold any byte,
// NUL included). message receives the text to print for DONE and BAD. GNU-style: long options
// abbreviated to any unambiguous start, `--name=value` or `--name value`, short letters grouped,
// options and the module file in any order, `--` ending the options, the last of a repeated
// option winning once every value has been checked.
CommandLineStatus parse_command_line(const std::vector<std::string>& arguments,
                                     IntroOptions& options, std::string& message);

// "COMMAND VERSION", with the checkout's `git describe` when built from one.
const char* intro_version();
