#include "intro/command_line.h"

#include <getopt.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#ifndef INTRO_VERSION
#define INTRO_VERSION "unknown"
#endif
#ifndef INTRO_HAS_CAPTURE
#define INTRO_HAS_CAPTURE 1
#endif

namespace {

// Keys of the options without a short letter, above every character.
enum : int {
  OPT_HEADER = 256,
  OPT_SCALE,
  OPT_DISPLAY,
  OPT_RATE,
  OPT_VOLUME,
  OPT_SEED,
  OPT_ONCE,
  OPT_CAPTURE,
  OPT_SECONDS,
  OPT_LOSSLESS,
};

struct OptionRow {
  const char* name;
  int key;            // a letter for a short option too, else one of the OPT_ keys
  const char* value;  // the value's name in the help, null for a flag
  const char* help;
};

// One row per option: getopt's table, the short letters and the help all come from here.
constexpr OptionRow kOptions[] = {
    {"help", 'h', nullptr, "show this help and end"},
    {"version", 'V', nullptr, "show the version and end"},
    {"module", 'm', "FILE", "play this module instead of module.xm"},
    {"header", OPT_HEADER, "FILE", "show this picture instead of header.bmp"},
    {"fullscreen", 'f', nullptr, "start in full screen (Alt+Enter toggles)"},
    {"window", 'w', nullptr, "start in a window (the default)"},
    {"scale", OPT_SCALE, "N", "a window N times 640x480, each pixel N by N (1 to 8)"},
    {"display", OPT_DISPLAY, "N", "open on monitor N, counted from 0"},
    {"rate", OPT_RATE, "HZ", "draw HZ frames a second, not one a refresh (1 to 1000)"},
    {"volume", OPT_VOLUME, "PERCENT", "music volume, 0 to 100 (default 100)"},
    {"seed", OPT_SEED, "N", "seed of the starfield instead of the clock"},
    {"once", OPT_ONCE, nullptr, "fade out and end after one pass of the music"},
    {"capture", OPT_CAPTURE, "FILE", "write a video file (.mkv, .mp4, .webm), no window"},
    {"seconds", OPT_SECONDS, "S", "capture S seconds before the fade, not the music"},
    {"lossless", OPT_LOSSLESS, nullptr, "capture in FFV1 and FLAC, .mkv only"},
    {"force", 'y', nullptr, "let the capture replace an existing FILE"},
};

// The options that only mean something to a capture: a build without one neither lists nor
// takes them.
bool capture_option(int key) {
  return key == OPT_CAPTURE || key == OPT_SECONDS || key == OPT_LOSSLESS || key == 'y';
}

std::string usage_text() {
  std::string text =
      "Usage: " INTRO_COMMAND
      " [OPTION]... [FILE.xm]\n"
      "Plays a music module and draws the intro's effects until Alt+F4 or the close\n"
      "button.\n"
      "\n";
  for (const OptionRow& row : kOptions) {
    if (!INTRO_HAS_CAPTURE && capture_option(row.key)) continue;
    std::string left = "      --";
    if (row.key < 256) left = std::string("  -") + static_cast<char>(row.key) + ", --";
    left += row.name;
    if (row.value != nullptr) left = left + ' ' + row.value;
    if (left.size() < 24) left.resize(24, ' ');
    text += left + ' ' + row.help + '\n';
  }
  text +=
      "\n"
      "Without FILE the files module.xm and header.bmp are looked for in the working\n"
      "directory, then in the installed data directory. Exit status: 0 after the fade,\n"
      "1 when a named file or the window cannot be opened, 2 for a bad command line.\n";
  if (INTRO_HAS_CAPTURE)
    text +=
        "\n"
        "A capture draws every frame at --rate (default 60) with the seed --seed\n"
        "(default 1): one pass of the music (60 s without) or --seconds, then the\n"
        "256-frame fade. It writes a new file beside FILE, renamed to FILE when\n"
        "complete; an existing FILE is replaced only with --force. Status 1 on failure,\n"
        "128+N after signal N (130 Ctrl+C, 143 SIGTERM, 129 a closed terminal), with\n"
        "nothing left behind and an existing FILE untouched.\n";
  return text;
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// The whole text as a plain decimal whole number (digits only: no sign, space or base prefix)
// in [low, high].
bool parse_number(const char* text, long long low, long long high, long long& number) {
  if (text == nullptr || *text == '\0') return false;
  for (const char* c = text; *c != '\0'; ++c)
    if (!is_digit(*c)) return false;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0' || value < low || value > high) return false;
  number = value;
  return true;
}

// Plain decimal seconds, digits with at most one point between them, in [0, one day].
bool parse_seconds(const char* text, double& seconds) {
  const char* c = text;
  while (is_digit(*c)) ++c;
  if (c == text) return false;
  if (*c == '.') {
    const char* fraction = ++c;
    while (is_digit(*c)) ++c;
    if (c == fraction) return false;
  }
  if (*c != '\0') return false;
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(value >= 0.0 && value <= 86400.0)) return false;
  seconds = value;
  return true;
}

std::string bad_line(const std::string& what) {
  return INTRO_COMMAND ": " + what + " (try '" INTRO_COMMAND " --help')";
}

// A value option: its number, or a BAD message naming it and the range.
bool take_number(const char* option, const char* text, long long low, long long high,
                 long long& number, std::string& message) {
  if (parse_number(text, low, high, number)) return true;
  message = bad_line("--" + std::string(option) + ": '" + text + "' is not a whole number from " +
                     std::to_string(low) + " to " + std::to_string(high));
  return false;
}

const char* option_name(int key) {
  for (const OptionRow& row : kOptions)
    if (row.key == key) return row.name;
  return "";
}

// Applies one parsed option; false with message set for a bad value.
bool apply_option(int key, const char* value, IntroOptions& options, std::string& message) {
  long long number = 0;
  const char* name = option_name(key);
  if (!INTRO_HAS_CAPTURE && capture_option(key)) {
    message = INTRO_COMMAND ": --" + std::string(name) + ": this build has no capture";
    return false;
  }
  if (value != nullptr && *value == '\0') {
    const bool file = key == 'm' || key == OPT_HEADER || key == OPT_CAPTURE;
    message = bad_line("--" + std::string(name) +
                       (file ? ": the file name is empty" : ": the value is empty"));
    return false;
  }
  switch (key) {
    case 'm':
      options.module_file = value;
      return true;
    case OPT_HEADER:
      options.header_file = value;
      return true;
    case 'f':
      options.fullscreen = true;
      return true;
    case 'w':
      options.fullscreen = false;
      return true;
    case OPT_SCALE:
      if (!take_number(name, value, 1, 8, number, message)) return false;
      options.scale = static_cast<int>(number);
      return true;
    case OPT_DISPLAY:
      if (!take_number(name, value, 0, 63, number, message)) return false;
      options.display = static_cast<int>(number);
      return true;
    case OPT_RATE:
      if (!take_number(name, value, 1, 1000, number, message)) return false;
      options.rate = static_cast<int>(number);
      return true;
    case OPT_VOLUME:
      if (!take_number(name, value, 0, 100, number, message)) return false;
      options.volume = static_cast<int>(number);
      return true;
    case OPT_SEED:
      if (!take_number(name, value, 0, UINT32_MAX, number, message)) return false;
      options.seed = static_cast<uint32_t>(number);
      options.seed_given = true;
      return true;
    case OPT_ONCE:
      options.once = true;
      return true;
    case OPT_CAPTURE:
      options.capture_file = value;
      return true;
    case OPT_SECONDS:
      if (!parse_seconds(value, options.capture_seconds)) {
        message = bad_line("--seconds: '" + std::string(value) +
                           "' is not a number of seconds from 0 to 86400");
        return false;
      }
      return true;
    case OPT_LOSSLESS:
      options.lossless = true;
      return true;
    case 'y':
      options.force = true;
      return true;
    default:
      return true;
  }
}

// The options whose names begin with an unknown long option's word, comma-separated; empty
// unless more than one does (getopt refuses such an abbreviation as it would an unknown one).
std::string candidates(const std::string& word) {
  const std::string start = word.substr(2);
  std::string names;
  int count = 0;
  for (const OptionRow& row : kOptions) {
    if (std::string(row.name).compare(0, start.size(), start) != 0) continue;
    names += (count++ ? ", --" : "--") + std::string(row.name);
  }
  return count > 1 ? names : "";
}

// The word getopt could not use, as the user wrote it.
std::string offending_option(int argc, char** argv) {
  const int index = optind - 1;
  if (index > 0 && index < argc && argv[index][0] == '-' && argv[index][1] == '-') {
    const std::string word = argv[index];
    return word.substr(0, word.find('='));
  }
  if (optopt > 0 && optopt < 256) return std::string("-") + static_cast<char>(optopt);
  return "--" + std::string(option_name(optopt));
}

}  // namespace

CommandLineStatus parse_command_line(int argc, char** argv, IntroOptions& options,
                                     std::string& message) {
  options = IntroOptions{};
  message.clear();
  std::vector<option> table;
  std::string letters = ":";  // ':' first: a missing value is told apart from an unknown option
  for (const OptionRow& row : kOptions) {
    const int has_value = row.value != nullptr ? required_argument : no_argument;
    table.push_back({row.name, has_value, nullptr, row.key});
    if (row.key < 256) {
      letters += static_cast<char>(row.key);
      if (has_value) letters += ':';
    }
  }
  table.push_back({nullptr, 0, nullptr, 0});

  optind = 0;  // a full restart of getopt's scan, also for a second parse
  opterr = 0;  // its own messages would not name the hint to --help
  int key;
  while ((key = getopt_long(argc, argv, letters.c_str(), table.data(), nullptr)) != -1) {
    if (key == '?') {
      const std::string word = offending_option(argc, argv);
      // getopt names a known long option given a value in optopt, an unknown one with 0.
      const bool known = word.size() > 2 && word[1] == '-' && optopt != 0;
      const std::string possible = word.size() > 2 && word[1] == '-' ? candidates(word) : "";
      if (known)
        message = bad_line("option '" + word + "' takes no value");
      else if (!possible.empty())
        message = bad_line("option '" + word + "' is ambiguous: " + possible);
      else
        message = bad_line("unknown option '" + word + "'");
      return COMMAND_LINE_BAD;
    }
    if (key == ':') {
      message = bad_line("option '" + offending_option(argc, argv) + "' needs a value");
      return COMMAND_LINE_BAD;
    }
    if (key == 'h') {
      message = usage_text();
      return COMMAND_LINE_DONE;
    }
    if (key == 'V') {
      message = std::string(intro_version()) + '\n';
      return COMMAND_LINE_DONE;
    }
    if (!apply_option(key, optarg, options, message)) return COMMAND_LINE_BAD;
  }
  for (int i = optind; i < argc; ++i) {
    if (!options.module_file.empty()) {
      message = bad_line("one module only, '" + std::string(argv[i]) + "' is one too many");
      return COMMAND_LINE_BAD;
    }
    options.module_file = argv[i];
  }
  if (options.capture_file.empty() &&
      (options.lossless || options.capture_seconds >= 0 || options.force)) {
    message = bad_line("--seconds, --lossless and --force go with --capture FILE");
    return COMMAND_LINE_BAD;
  }
  return COMMAND_LINE_RUN;
}

const char* intro_version() {
  return INTRO_COMMAND " " INTRO_VERSION;
}
