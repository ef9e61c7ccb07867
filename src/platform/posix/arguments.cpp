#include "platform/process.h"

// The bytes as the shell passed them: UTF-8 where the locale is.
std::vector<std::string> program_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}
