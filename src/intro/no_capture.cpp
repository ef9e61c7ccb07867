// A build without the capture: its command line refuses the capture's options before this could
// be reached, and neither the capture's writer nor its file handling is linked.
#include <cstdio>

#include "intro/capture.h"

int run_capture(const CaptureOptions&) {
  std::fputs(INTRO_COMMAND ": this build has no capture\n", stderr);
  return 2;
}
