#include "intro/command_line.h"

#include <cstdlib>

#ifndef INTRO_VERSION
#define INTRO_VERSION "unknown"
#endif
#ifndef INTRO_HAS_CAPTURE
#define INTRO_HAS_CAPTURE 1
#endif

namespace {

enum OptionId {
  OPT_HELP,
  OPT_VERSION,
  OPT_MODULE,
  OPT_HEADER,
  OPT_FULLSCREEN,
  OPT_WINDOW,
  OPT_SCALE,
  OPT_DISPLAY,
  OPT_RATE,
  OPT_VOLUME,
  OPT_SEED,
  OPT_ONCE,
  OPT_CAPTURE,
  OPT_SECONDS,
  OPT_LOSSLESS,
  OPT_FORCE,
};

enum ValueKind { FLAG, FILE_NAME, WHOLE_NUMBER, SECONDS };

// Where an option means something: everywhere, only in a window, or only in a capture.
enum Scope { ANY, WINDOW_ONLY, CAPTURE_ONLY };

struct OptionRow {
  OptionId id;
  const char* name;
  char letter;        // the short option, or 0
  const char* value;  // the value's name in the help, null for a flag
  ValueKind kind;
  long long low, high;  // the range of a number, for its check and its help alike
  Scope scope;
  const char* help;  // '%' stands for the range, "LOW to HIGH"
};

// One row per option: the parser, the checks and the help all come from here.
constexpr OptionRow kOptions[] = {
    {OPT_HELP, "help", 'h', nullptr, FLAG, 0, 0, ANY, "show this help and end"},
    {OPT_VERSION, "version", 'V', nullptr, FLAG, 0, 0, ANY, "show the version and end"},
    {OPT_MODULE, "module", 'm', "FILE", FILE_NAME, 0, 0, ANY,
     "play this module instead of module.xm"},
    {OPT_HEADER, "header", 0, "FILE", FILE_NAME, 0, 0, ANY,
     "show this picture instead of header.bmp"},
    {OPT_FULLSCREEN, "fullscreen", 'f', nullptr, FLAG, 0, 0, WINDOW_ONLY,
     "start in full screen (Alt+Enter toggles)"},
    {OPT_WINDOW, "window", 'w', nullptr, FLAG, 0, 0, WINDOW_ONLY,
     "start in a window (the default)"},
    {OPT_SCALE, "scale", 0, "N", WHOLE_NUMBER, 1, 8, WINDOW_ONLY,
     "a window N times 640x480, each pixel N by N (%)"},
    {OPT_DISPLAY, "display", 0, "N", WHOLE_NUMBER, 0, 63, WINDOW_ONLY, "open on monitor N (%)"},
    {OPT_RATE, "rate", 0, "HZ", WHOLE_NUMBER, 1, 1000, ANY,
     "draw HZ frames a second, not one a refresh (%)"},
    {OPT_VOLUME, "volume", 0, "PERCENT", WHOLE_NUMBER, 0, 100, WINDOW_ONLY,
     "music volume, % (default 100)"},
    {OPT_SEED, "seed", 0, "N", WHOLE_NUMBER, 0, UINT32_MAX, ANY,
     "the starfield's seed, %, not the clock"},
    {OPT_ONCE, "once", 0, nullptr, FLAG, 0, 0, WINDOW_ONLY,
     "fade out and end after one pass of the music"},
    {OPT_CAPTURE, "capture", 0, "FILE", FILE_NAME, 0, 0, CAPTURE_ONLY,
     "write a video file (.mkv, .mp4, .webm), no window"},
    {OPT_SECONDS, "seconds", 0, "S", SECONDS, 0, 86400, CAPTURE_ONLY,
     "capture S seconds before the fade (%)"},
    {OPT_LOSSLESS, "lossless", 0, nullptr, FLAG, 0, 0, CAPTURE_ONLY,
     "capture in FFV1 and FLAC, .mkv only"},
    {OPT_FORCE, "force", 'y', nullptr, FLAG, 0, 0, CAPTURE_ONLY,
     "let the capture replace an existing FILE"},
};

std::string range_text(const OptionRow& row) {
  return std::to_string(row.low) + " to " + std::to_string(row.high);
}

std::string usage_text() {
  std::string text =
      "Usage: " INTRO_COMMAND
      " [OPTION]... [FILE.xm]\n"
      "Plays a music module and draws the intro's effects until Alt+F4 or the close\n"
      "button.\n"
      "\n";
  for (const OptionRow& row : kOptions) {
    if (!INTRO_HAS_CAPTURE && row.scope == CAPTURE_ONLY) continue;
    std::string left = "      --";
    if (row.letter != 0) left = std::string("  -") + row.letter + ", --";
    left += row.name;
    if (row.value != nullptr) left = left + ' ' + row.value;
    if (left.size() < 24) left.resize(24, ' ');
    std::string help = row.help;
    const size_t range = help.find('%');
    if (range != std::string::npos) help.replace(range, 1, range_text(row));
    text += left + ' ' + help + '\n';
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
        "256-frame fade; the window's options do not go with it. It writes a new file\n"
        "beside FILE, renamed to FILE when complete; an existing FILE is replaced only\n"
        "with --force. Status 1 on failure, 128+N after signal N (130 Ctrl+C, 143\n"
        "SIGTERM, 129 a closed terminal), with nothing left behind and an existing FILE\n"
        "untouched.\n";
  return text;
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

bool is_control_byte(char c) {
  return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

// The code point of a C1 control (U+0080 to U+009F) or of the line and paragraph separators
// (U+2028, U+2029) spelt in UTF-8 at i, else 0: what may break a line where Unicode is read.
unsigned line_breaking_character(const std::string& text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  if (byte(i) == 0xC2 && i + 1 < text.size() && (byte(i + 1) & 0xE0) == 0x80) return byte(i + 1);
  if (text.compare(i, 3, "\xE2\x80\xA8") == 0 || text.compare(i, 3, "\xE2\x80\xA9") == 0)
    return 0x2000u + byte(i + 2) - 0x80u;
  return 0;
}

bool has_control(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i)
    if (is_control_byte(text[i]) || line_breaking_character(text, i) != 0) return true;
  return false;
}

// The text between quotes, its controls, line separators and backslashes escaped: a message
// stays one line whatever a value holds.
std::string quoted(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "'";
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const unsigned code = line_breaking_character(text, i);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (is_control_byte(text[i])) {
      out += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
    } else if (code != 0) {
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(code >> shift) & 15];
      i += code < 0x100 ? 1 : 2;
    } else {
      out += text[i];
    }
  }
  return out + "'";
}

std::string bad_line(const std::string& what) {
  return INTRO_COMMAND ": " + what + " (try '" INTRO_COMMAND " --help')";
}

// The whole text as a plain decimal whole number (digits only: no sign, space or base prefix)
// in [low, high].
bool parse_number(const std::string& text, long long low, long long high, long long& number) {
  if (text.empty()) return false;
  long long value = 0;
  for (char c : text) {
    if (!is_digit(c)) return false;
    value = value * 10 + (c - '0');
    if (value > high) return false;  // also before it could overflow
  }
  if (value < low) return false;
  number = value;
  return true;
}

// Plain decimal seconds, digits with at most one point between them, in [low, high].
bool parse_seconds(const std::string& text, const OptionRow& row, double& seconds) {
  size_t i = 0;
  while (i < text.size() && is_digit(text[i])) ++i;
  if (i == 0) return false;
  if (i < text.size() && text[i] == '.') {
    const size_t fraction = ++i;
    while (i < text.size() && is_digit(text[i])) ++i;
    if (i == fraction) return false;
  }
  if (i != text.size()) return false;
  // Digits and one point only, so the C string is the whole text.
  const double value = std::strtod(text.c_str(), nullptr);
  if (!(value >= static_cast<double>(row.low) && value <= static_cast<double>(row.high)))
    return false;
  seconds = value;
  return true;
}

// A value checked whole, or a BAD message naming the option.
bool check_value(const OptionRow& row, const std::string& value, std::string& message) {
  const std::string name = std::string("--") + row.name;
  if (value.empty()) {
    message = bad_line(
        name + (row.kind == FILE_NAME ? ": the file name is empty" : ": the value is empty"));
    return false;
  }
  long long number = 0;
  double seconds = 0;
  if (row.kind == FILE_NAME && has_control(value))
    message = bad_line(name + ": the file name " + quoted(value) + " has a control character");
  else if (row.kind == WHOLE_NUMBER && !parse_number(value, row.low, row.high, number))
    message =
        bad_line(name + ": " + quoted(value) + " is not a whole number from " + range_text(row));
  else if (row.kind == SECONDS && !parse_seconds(value, row, seconds))
    message = bad_line(name + ": " + quoted(value) + " is not a number of seconds from " +
                       range_text(row));
  else
    return true;
  return false;
}

// Records one option with its checked value (empty for a flag).
void apply(const OptionRow& row, const std::string& value, IntroOptions& options) {
  long long number = 0;
  switch (row.id) {
    case OPT_MODULE:
      options.module_file = value;
      break;
    case OPT_HEADER:
      options.header_file = value;
      break;
    case OPT_FULLSCREEN:
    case OPT_WINDOW:
      options.fullscreen = row.id == OPT_FULLSCREEN;
      break;
    case OPT_SCALE:
    case OPT_DISPLAY:
    case OPT_RATE:
    case OPT_VOLUME:
    case OPT_SEED:
      parse_number(value, row.low, row.high, number);
      if (row.id == OPT_SCALE) options.scale = static_cast<int>(number);
      if (row.id == OPT_DISPLAY) options.display = static_cast<int>(number);
      if (row.id == OPT_RATE) options.rate = static_cast<int>(number);
      if (row.id == OPT_VOLUME) options.volume = static_cast<int>(number);
      if (row.id == OPT_SEED) options.seed = static_cast<uint32_t>(number);
      options.seed_given |= row.id == OPT_SEED;
      break;
    case OPT_ONCE:
      options.once = true;
      break;
    case OPT_CAPTURE:
      options.capture_file = value;
      break;
    case OPT_SECONDS:
      parse_seconds(value, row, options.capture_seconds);
      break;
    case OPT_LOSSLESS:
      options.lossless = true;
      break;
    case OPT_FORCE:
      options.force = true;
      break;
    case OPT_HELP:
    case OPT_VERSION:
      break;
  }
}

// The option a long word names: its exact name, else the one option whose name it starts.
const OptionRow* find_long(const std::string& written, std::string& message) {
  const std::string start = written.substr(2);
  const OptionRow* found = nullptr;
  std::string names;
  int count = 0;
  for (const OptionRow& row : kOptions) {
    if (start == row.name) return &row;
    if (start.empty() || std::string(row.name).compare(0, start.size(), start) != 0) continue;
    found = &row;
    names += (count++ ? ", --" : "--") + std::string(row.name);
  }
  if (count == 1) return found;
  message = bad_line(count > 1 ? "option " + quoted(written) + " is ambiguous: " + names
                               : "unknown option " + quoted(written));
  return nullptr;
}

const OptionRow* find_short(char letter) {
  for (const OptionRow& row : kOptions)
    if (row.letter != 0 && row.letter == letter) return &row;
  return nullptr;
}

}  // namespace

CommandLineStatus parse_command_line(const std::vector<std::string>& arguments,
                                     IntroOptions& options, std::string& message) {
  options = IntroOptions{};
  message.clear();
  std::vector<std::string> files;
  const OptionRow* window_option = nullptr;  // the first given, refused beside a capture
  bool options_ended = false;

  // Takes one option as written, with its value when it has one; DONE for help and version.
  auto take = [&](const OptionRow& row, const std::string& written, const std::string* value) {
    if (row.value == nullptr && value != nullptr) {
      message = bad_line("option " + quoted(written) + " takes no value");
      return COMMAND_LINE_BAD;
    }
    if (row.value != nullptr && value == nullptr) {
      message = bad_line("option " + quoted(written) + " needs a value");
      return COMMAND_LINE_BAD;
    }
    if (row.id == OPT_HELP || row.id == OPT_VERSION) {
      message = row.id == OPT_HELP ? usage_text() : std::string(intro_version()) + '\n';
      return COMMAND_LINE_DONE;
    }
    if (!INTRO_HAS_CAPTURE && row.scope == CAPTURE_ONLY) {
      message = INTRO_COMMAND ": --" + std::string(row.name) + ": this build has no capture";
      return COMMAND_LINE_BAD;
    }
    if (value != nullptr && !check_value(row, *value, message)) return COMMAND_LINE_BAD;
    if (row.scope == WINDOW_ONLY && window_option == nullptr) window_option = &row;
    apply(row, value != nullptr ? *value : std::string(), options);
    return COMMAND_LINE_RUN;
  };

  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    const bool has_next = i + 1 < arguments.size();
    CommandLineStatus status = COMMAND_LINE_RUN;
    if (options_ended || word.size() < 2 || word[0] != '-') {
      files.push_back(word);  // "-" alone too, as a file name
    } else if (word == "--") {
      options_ended = true;
    } else if (word[1] == '-') {
      const size_t equals = word.find('=');
      const std::string written = word.substr(0, equals);
      const OptionRow* row = find_long(written, message);
      if (row == nullptr) return COMMAND_LINE_BAD;
      if (equals != std::string::npos) {
        const std::string value = word.substr(equals + 1);
        status = take(*row, written, &value);
      } else {
        // A value option takes the next word whatever it is, as GNU tools do.
        status = take(*row, written, row->value != nullptr && has_next ? &arguments[++i] : nullptr);
      }
    } else {
      // Short options grouped in one word; one with a value takes the rest of the word, or the
      // next word.
      for (size_t k = 1; k < word.size() && status == COMMAND_LINE_RUN; ++k) {
        const OptionRow* row = find_short(word[k]);
        // A byte of a longer UTF-8 character is shown with the whole word.
        const std::string written =
            static_cast<unsigned char>(word[k]) < 0x80 ? std::string("-") + word[k] : word;
        if (row == nullptr) {
          message = bad_line("unknown option " + quoted(written));
          return COMMAND_LINE_BAD;
        }
        if (row->value == nullptr) {
          status = take(*row, written, nullptr);
          continue;
        }
        const std::string rest = word.substr(k + 1);
        status = take(*row, written, !rest.empty() ? &rest : has_next ? &arguments[++i] : nullptr);
        break;
      }
    }
    if (status != COMMAND_LINE_RUN) return status;
  }

  for (const std::string& file : files) {
    if (file.empty()) {
      message = bad_line("the module's file name is empty");
    } else if (has_control(file)) {
      message = bad_line("the module's file name " + quoted(file) + " has a control character");
    } else if (!options.module_file.empty()) {
      message = bad_line("one module only, " + quoted(file) + " is one too many");
    } else {
      options.module_file = file;
      continue;
    }
    return COMMAND_LINE_BAD;
  }
  if (options.capture_file.empty() &&
      (options.lossless || options.capture_seconds >= 0 || options.force)) {
    message = bad_line("--seconds, --lossless and --force go with --capture FILE");
    return COMMAND_LINE_BAD;
  }
  // A capture has no window or sound device: it would silently ignore these.
  if (!options.capture_file.empty() && window_option != nullptr) {
    message =
        bad_line("--" + std::string(window_option->name) + " goes with the window, not --capture");
    return COMMAND_LINE_BAD;
  }
  return COMMAND_LINE_RUN;
}

const char* intro_version() {
  return INTRO_COMMAND " " INTRO_VERSION;
}
