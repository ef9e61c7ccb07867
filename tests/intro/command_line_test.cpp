#include "intro/command_line.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using Words = std::vector<std::string>;

struct Parsed {
  CommandLineStatus status;
  IntroOptions options;
  std::string message;
};

Parsed parse(Words words) {
  words.insert(words.begin(), "intro");
  Parsed parsed;
  parsed.status = parse_command_line(words, parsed.options, parsed.message);
  return parsed;
}

std::string refusal(const std::string& what) {
  return INTRO_COMMAND ": " + what + " (try '" INTRO_COMMAND " --help')";
}

// What each accepted command line changes in the record, and nothing else.
TEST(CommandLine, AcceptedWordsSetExactlyTheirFields) {
  using Set = std::function<void(IntroOptions&)>;
  const struct {
    Words words;
    Set set;
  } cases[] = {
    {{"--header", "h.bmp", "--display=1", "--seed", "4294967295"},
     [](IntroOptions& o) { o.header_file = "h.bmp", o.display = 1, o.seed = 4294967295u; }},
    {{"-f"}, [](IntroOptions& o) { o.fullscreen = true; }},
    {{"-f", "-w"}, [](IntroOptions&) {}},
    {{"-wf"}, [](IntroOptions& o) { o.fullscreen = true; }},
    {{"--sc", "3", "--rate=0001000"}, [](IntroOptions& o) { o.scale = 3, o.rate = 1000; }},
    {{"--vol=0", "--once"}, [](IntroOptions& o) { o.volume = 0, o.once = true; }},
    {{"--seed", "1", "--seed=7"}, [](IntroOptions& o) { o.seed = 7; }},
    // Options after the file, a value taken whatever it looks like, "--" and "-" as names.
    {{"a.xm", "--rate", "5"}, [](IntroOptions& o) { o.module_file = "a.xm", o.rate = 5; }},
    {{"-m", "--scale"}, [](IntroOptions& o) { o.module_file = "--scale"; }},
    {{"-ma.xm", "--module=b.xm"}, [](IntroOptions& o) { o.module_file = "b.xm"; }},
    {{"--", "--once"}, [](IntroOptions& o) { o.module_file = "--once"; }},
    {{"-"}, [](IntroOptions& o) { o.module_file = std::string(1, '-'); }},
    {{"--header", "\xc3\xa9t\xc3\xa9 \xe2\x80\x94.bmp"},
     [](IntroOptions& o) { o.header_file = "\xc3\xa9t\xc3\xa9 \xe2\x80\x94.bmp"; }},
#if INTRO_HAS_CAPTURE
    {{"--capture", "out.webm", "--seconds", "2.5", "--lossless", "-y", "--rate", "30"},
     [](IntroOptions& o) {
       o.capture_file = "out.webm", o.capture_seconds = 2.5, o.lossless = o.force = true;
       o.rate = 30;
     }},
    {{"--capture=a.mkv", "--sec", "007.25"},
     [](IntroOptions& o) { o.capture_file = "a.mkv", o.capture_seconds = 7.25; }},
    {{"--capture", "a.mkv", "--seconds", "0"},
     [](IntroOptions& o) { o.capture_file = "a.mkv", o.capture_seconds = 0; }},
#endif
  };
  for (const auto& c : cases) {
    const Parsed p = parse(c.words);
    IntroOptions expected;
    c.set(expected);
    expected.seed_given = expected.seed != 0;
    EXPECT_EQ(p.status, COMMAND_LINE_RUN) << c.words[0] << ": " << p.message;
    EXPECT_TRUE(p.options == expected) << c.words[0];
  }
}

// Each refusal is exactly one line naming the word and what is wrong with it.
TEST(CommandLine, RefusedWordsGetTheirOwnLine) {
  const struct {
    Words words;
    std::string what;
  } cases[] = {
    {{"-x"}, "unknown option '-x'"},
    {{"-f\xc3\xa9"}, "unknown option '-f\xc3\xa9'"},
    {{"--bogus=1"}, "unknown option '--bogus'"},
    {{"--sc\nale", "2"}, "unknown option '--sc\\nale'"},
    {{"--s", "2"}, "option '--s' is ambiguous: --scale, --seed, --seconds"},
    {{"--se=2"}, "option '--se' is ambiguous: --seed, --seconds"},
    {{"--vers="}, "option '--vers' takes no value"},
    {{"-fw", "--rate"}, "option '--rate' needs a value"},
    {{"-m"}, "option '-m' needs a value"},
    {{"--scale", ""}, "--scale: the value is empty"},
    {{"--seed="}, "--seed: the value is empty"},
    {{"--header", ""}, "--header: the file name is empty"},
    {{""}, "the module's file name is empty"},
    {{"--", "a.xm", ""}, "the module's file name is empty"},
    {{"-m", "a.xm", "b.xm"}, "one module only, 'b.xm' is one too many"},
    // Values are checked whole and quoted with their controls escaped.
    {{"--seed", "5\n"}, "--seed: '5\\n' is not a whole number from 0 to 4294967295"},
    {{"--seed", std::string("5\0", 2)},
     "--seed: '5\\x00' is not a whole number from 0 to 4294967295"},
    {{"--module", "a\x1b[2J\\"}, "--module: the file name 'a\\x1B[2J\\\\' has a control character"},
    {{"--header", "x\xc2\x85y\xe2\x80\xa8"},
     "--header: the file name 'x\\u0085y\\u2028' has a control character"},
    {{"a\tb.xm"}, "the module's file name 'a\\tb.xm' has a control character"},
    // Every value of a repeated option is checked, not only the last.
    {{"--seed", "1", "--seed", "x"}, "--seed: 'x' is not a whole number from 0 to 4294967295"},
    {{"--volume", "101", "--volume", "1"}, "--volume: '101' is not a whole number from 0 to 100"},
    // Plain decimal only: no sign, base prefix, exponent or space.
    {{"--scale", "9"}, "--scale: '9' is not a whole number from 1 to 8"},
    {{"--scale", "+2"}, "--scale: '+2' is not a whole number from 1 to 8"},
    {{"--display", "0x1"}, "--display: '0x1' is not a whole number from 0 to 63"},
    {{"--rate", "1e3"}, "--rate: '1e3' is not a whole number from 1 to 1000"},
    {{"--rate", "0"}, "--rate: '0' is not a whole number from 1 to 1000"},
    {{"--seed", "4294967296"}, "--seed: '4294967296' is not a whole number from 0 to 4294967295"},
    {{"--seed", "99999999999999999999999"},
     "--seed: '99999999999999999999999' is not a whole number from 0 to 4294967295"},
#if INTRO_HAS_CAPTURE
    {{"--capture="}, "--capture: the file name is empty"},
    {{"--seconds", "3"}, "--seconds, --lossless and --force go with --capture FILE"},
    {{"-y"}, "--seconds, --lossless and --force go with --capture FILE"},
    {{"--capture", "a.mkv", "--scale", "9"}, "--scale: '9' is not a whole number from 1 to 8"},
    {{"--capture", "a.mkv", "--header", ""}, "--header: the file name is empty"},
    {{"--capture", "a.mkv", "-w"}, "--window goes with the window, not --capture"},
    {{"--once", "--capture", "a.mkv"}, "--once goes with the window, not --capture"},
    {{"--capture", "a.mkv", "--volume", "50"}, "--volume goes with the window, not --capture"},
#endif
  };
  for (const char* seconds : {"-1", "1s", "nan", "0x10", "+1", "1e2", ".5", "5.", "5 ", "86400.5"})
    EXPECT_EQ(parse({"--capture", "a.mkv", "--seconds", seconds}).message,
              INTRO_HAS_CAPTURE ? refusal("--seconds: '" + std::string(seconds) +
                                          "' is not a number of seconds from 0 to 86400")
                                : INTRO_COMMAND ": --capture: this build has no capture");
  for (const auto& c : cases) {
    const Parsed p = parse(c.words);
    EXPECT_EQ(p.status, COMMAND_LINE_BAD) << c.what;
    EXPECT_EQ(p.message, refusal(c.what));
  }
  // A value on any flag, in every build.
  for (const char* flag : {"help", "version", "fullscreen", "window", "once", "lossless", "force"})
    EXPECT_EQ(parse({"-f", std::string("--") + flag + "=1"}).message,
              refusal(std::string("option '--") + flag + "' takes no value"));
}

// Help and version end the parse where they stand; the help states the ranges the checks apply.
TEST(CommandLine, HelpTellsTheRangesTheChecksApply) {
  const Parsed p = parse({"-fh", "--scale", "9"});
  ASSERT_EQ(p.status, COMMAND_LINE_DONE);
  EXPECT_EQ(parse({"--scale", "9", "--help"}).status, COMMAND_LINE_BAD);
  EXPECT_EQ(parse({"--vers", "--bogus"}).message, std::string(intro_version()) + "\n");
  for (std::string option : {"--scale N ", "--display N ", "--rate HZ ", "--volume PERCENT ",
                             "--seed N ", "--seconds S "}) {
    if (!INTRO_HAS_CAPTURE && option == "--seconds S ") continue;
    const std::string refused = parse({option.substr(0, option.find(' ')), "x"}).message;
    const size_t from = refused.find(" from "), line = p.message.find(option);
    ASSERT_NE(line, std::string::npos) << option;
    EXPECT_NE(p.message.substr(line, p.message.find('\n', line) - line)
                  .find(refused.substr(from + 6, refused.find(" (try") - from - 6)),
              std::string::npos)
        << option << ": " << refused;
  }
}

}  // namespace
