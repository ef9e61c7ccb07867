// The intro: opens its window, plays its music and draws its effects until asked to close.
#include <cstdio>
#include <string>

#include "intro/command_line.h"
#include "intro/launch.h"

int main(int argc, char** argv) {
  IntroOptions options;
  std::string message;
  switch (parse_command_line(argc, argv, options, message)) {
    case COMMAND_LINE_DONE:
      std::fputs(message.c_str(), stdout);
      return 0;
    case COMMAND_LINE_BAD:
      std::fprintf(stderr, "%s\n", message.c_str());
      return 2;
    case COMMAND_LINE_RUN:
      break;
  }
  return run_intro(options);
}
