// The intro: opens its window, plays its music and draws its effects until asked to close.
#include <getopt.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "intro/capture.h"
#include "intro/sequencer.h"
#include "platform/display_driver.h"
#include "platform/timing.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: intro [--capture FILE [--seconds S] [--lossless] [--rate HZ] [--seed N]\n"
               "             [--module FILE] [--header FILE]]\n");
  return 2;
}

bool parse_number(const char* text, double low, double high, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && value >= low && value <= high;
}

// The capture's options; the window's own command line joins these later.
int capture_command(int argc, char** argv) {
  enum { CAPTURE = 1, SECONDS, LOSSLESS, RATE, SEED, MODULE, HEADER };
  static const option options[] = {{"capture", required_argument, nullptr, CAPTURE},
                                   {"seconds", required_argument, nullptr, SECONDS},
                                   {"lossless", no_argument, nullptr, LOSSLESS},
                                   {"rate", required_argument, nullptr, RATE},
                                   {"seed", required_argument, nullptr, SEED},
                                   {"module", required_argument, nullptr, MODULE},
                                   {"header", required_argument, nullptr, HEADER},
                                   {nullptr, 0, nullptr, 0}};
  CaptureOptions capture;
  double number = 0;
  for (int opt; (opt = getopt_long(argc, argv, "", options, nullptr)) != -1;) {
    switch (opt) {
      case CAPTURE:
        capture.file = optarg;
        break;
      case SECONDS:
        if (!parse_number(optarg, 0, 1e6, capture.seconds)) return usage();
        break;
      case LOSSLESS:
        capture.lossless = true;
        break;
      case RATE:
        if (!parse_number(optarg, 1, 1000, number) || number != std::floor(number)) return usage();
        capture.rate = static_cast<int>(number);
        break;
      case SEED:
        if (!parse_number(optarg, 0, 4294967295.0, number) || number != std::floor(number))
          return usage();
        capture.seed = static_cast<uint32_t>(number);
        break;
      case MODULE:
        capture.module_file = optarg;
        break;
      case HEADER:
        capture.header_file = optarg;
        break;
      default:
        return usage();
    }
  }
  if (optind != argc || capture.file.empty()) return usage();
  return run_capture(capture);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) return capture_command(argc, argv);
  // The clock's whole seconds, low 32 bits, so every run's starfield differs.
  const double now = timer_seconds();
  const auto seed = static_cast<uint32_t>(static_cast<uint64_t>(std::trunc(now > 0 ? now : 0)));
  if (start_intro(seed, true) != 0) {
    std::fprintf(stderr, "intro: cannot open the window: %s\n", display_error());
    return 1;
  }
  while (run_frame()) {
  }
  return 0;
}
