// The intro: opens its window, plays its music and draws its effects until asked to close.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "intro/command_line.h"
#include "intro/launch.h"
#include "platform/process.h"
#include "platform/session_bus.h"

int main(int argc, char** argv) {
  attach_to_terminal();
  choose_session_bus();
  IntroOptions options;
  std::string message;
  switch (parse_command_line(program_arguments(argc, argv), options, message)) {
    case COMMAND_LINE_DONE:
      // Output that did not arrive (a full disk, a closed pipe) is a failure, as for any tool.
      if (std::fputs(message.c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
        std::fprintf(stderr, INTRO_COMMAND ": write error: %s\n", std::strerror(errno));
        return 1;
      }
      return 0;
    case COMMAND_LINE_BAD:
      std::fprintf(stderr, "%s\n", message.c_str());
      return 2;
    case COMMAND_LINE_RUN:
      break;
  }
  return run_intro(options);
}
