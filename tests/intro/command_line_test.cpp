#include "intro/command_line.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace {

struct Parsed {
  CommandLineStatus status;
  IntroOptions options;
  std::string message;
};

Parsed parse(std::initializer_list<const char*> words) {
  std::vector<std::string> storage{"intro"};
  for (const char* word : words) storage.emplace_back(word);
  std::vector<char*> argv;
  for (std::string& word : storage) argv.push_back(word.data());
  argv.push_back(nullptr);
  Parsed parsed;
  parsed.status = parse_command_line(static_cast<int>(storage.size()), argv.data(), parsed.options,
                                     parsed.message);
  return parsed;
}

#if INTRO_HAS_CAPTURE
// Where the program's own tests see an option take effect (--header, --scale, --rate, --volume,
// --once, --capture, --seconds, --lossless, --force, the module), its value is checked there.
TEST(CommandLine, EveryOptionIsTakenAndTheUnseenOnesReachTheRecord) {
  const Parsed p =
      parse({"--header", "h.bmp",     "-f",  "--scale",    "2",          "--display=1", "--rate",
             "60",       "--volume",  "0",   "--seed",     "4294967295", "--once",      "--capture",
             "out.webm", "--seconds", "2.5", "--lossless", "-y",         "song.xm"});
  ASSERT_EQ(p.status, COMMAND_LINE_RUN) << p.message;
  EXPECT_TRUE(p.options.fullscreen);
  EXPECT_EQ(p.options.display, 1);
  EXPECT_TRUE(p.options.seed_given);
  EXPECT_EQ(p.options.seed, 4294967295u);
  // The last of --fullscreen and --window wins; a capture lasts one pass of the music unless
  // --seconds, even 0, says otherwise.
  EXPECT_FALSE(parse({"-f", "-w"}).options.fullscreen);
  EXPECT_EQ(parse({"-m", "a.xm"}).options.module_file, "a.xm");
  EXPECT_LT(parse({"--capture", "a.mkv"}).options.capture_seconds, 0.0);
  EXPECT_EQ(parse({"--capture", "a.mkv", "--seconds", "0"}).options.capture_seconds, 0.0);
}

#endif

// Help, version, a missing value, the range of --volume and a second module are checked on the
// program itself.
TEST(CommandLine, BadWordsGiveOneLineNamingThem) {
  const struct {
    std::initializer_list<const char*> words;
    const char* named;
  } cases[] = {
    {{"-x"}, "'-x'"},
    {{"--help=1"}, "'--help'"},
    {{"--scale", "9"}, "--scale"},
    {{"--rate", "60.5"}, "--rate"},
    {{"--volume", "-1"}, "--volume"},
    {{"--seed", "4294967296"}, "--seed"},
    {{"--module", ""}, "--module"},
    // Plain decimal only: no sign, base prefix, exponent, spaces or bare point.
    {{"--scale", "+2"}, "--scale"},
    {{"--seed", " 5"}, "--seed"},
    {{"--rate", "1e3"}, "--rate"},
    {{"--display", "0x1"}, "--display"},
#if INTRO_HAS_CAPTURE
    {{"--capture", "a.mkv", "--seconds", "-1"}, "--seconds"},
    {{"--capture", "a.mkv", "--seconds", "1s"}, "--seconds"},
    {{"--capture", "a.mkv", "--seconds", "nan"}, "--seconds"},
    {{"--capture", "a.mkv", "--seconds", "0x10"}, "--seconds"},
    {{"--capture", "a.mkv", "--seconds", "+1"}, "--seconds"},
    {{"--capture", "a.mkv", "--seconds", "1e2"}, "--seconds"},
    {{"--capture", "a.mkv", "--seconds", ".5"}, "--seconds"},
    {{"--capture", "a.mkv", "--seconds", "5."}, "--seconds"},
    {{"--capture", "a.mkv", "--seconds", "5 "}, "--seconds"},
    {{"--seconds", "3"}, "--capture"},
    {{"--lossless"}, "--capture"},
    {{"--force"}, "--capture"},
#endif
  };
  for (const auto& c : cases) {
    const Parsed p = parse(c.words);
    EXPECT_EQ(p.status, COMMAND_LINE_BAD) << c.named;
    EXPECT_NE(p.message.find(c.named), std::string::npos) << p.message;
    EXPECT_NE(p.message.find("--help"), std::string::npos) << p.message;
    EXPECT_EQ(p.message.find('\n'), std::string::npos) << p.message;
  }
}

#if !INTRO_HAS_CAPTURE
// A build without the capture takes none of its options, whatever their values, and does not
// list them.
TEST(CommandLine, WithoutTheCaptureItsOptionsAreRefused) {
  for (auto words : {std::initializer_list<const char*>{"--capture", "a.mkv"},
                     {"--seconds", "x"},
                     {"--lossless"},
                     {"-y"},
                     {"--force", "--capture", "a.mkv"}}) {
    const Parsed p = parse(words);
    EXPECT_EQ(p.status, COMMAND_LINE_BAD);
    EXPECT_NE(p.message.find("this build has no capture"), std::string::npos) << p.message;
  }
  const std::string help = parse({"--help"}).message;
  for (const char* option : {"--capture", "--seconds", "--lossless", "--force"})
    EXPECT_EQ(help.find(option), std::string::npos) << option;
}
#endif

// An empty value is named as such; a file option's as an empty file name.
TEST(CommandLine, EmptyValuesAndAmbiguousAbbreviationsSaySo) {
  const struct {
    std::initializer_list<const char*> words;
    const char* says;
  } cases[] = {
    {{"--scale", ""}, "--scale: the value is empty"},
    {{"--seed", ""}, "--seed: the value is empty"},
    {{"--header", ""}, "--header: the file name is empty"},
    {{"--s", "2"}, "option '--s' is ambiguous: --scale, --seed, --seconds"},
    {{"--se=2"}, "option '--se' is ambiguous: --seed, --seconds"},
    {{"--sq"}, "unknown option '--sq'"},
#if INTRO_HAS_CAPTURE
    {{"--seconds="}, "--seconds: the value is empty"},
    {{"--capture="}, "--capture: the file name is empty"},
#endif
  };
  for (const auto& c : cases) {
    const Parsed p = parse(c.words);
    EXPECT_EQ(p.status, COMMAND_LINE_BAD) << c.says;
    EXPECT_NE(p.message.find(c.says), std::string::npos) << p.message;
  }
  // A unique abbreviation still stands for its option.
  EXPECT_EQ(parse({"--sc", "3"}).options.scale, 3);
#if INTRO_HAS_CAPTURE
  EXPECT_EQ(parse({"--capture", "a.mkv", "--sec", "007.25"}).options.capture_seconds, 7.25);
#endif
}

TEST(CommandLine, EveryHelpLineFitsEightyColumns) {
  const Parsed p = parse({"--help"});
  ASSERT_EQ(p.status, COMMAND_LINE_DONE);
  size_t start = 0;
  for (size_t end; (end = p.message.find('\n', start)) != std::string::npos; start = end + 1)
    EXPECT_LE(end - start, 80u) << p.message.substr(start, end - start);
  EXPECT_EQ(start, p.message.size());  // ends with a newline
}

}  // namespace
