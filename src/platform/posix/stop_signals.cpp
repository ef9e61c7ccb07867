#include "platform/stop_signals.h"

#include <signal.h>
#include <unistd.h>

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};
constexpr int kCount = sizeof kStopSignals / sizeof kStopSignals[0];

volatile sig_atomic_t noted = 0;
struct sigaction previous[kCount + 1];  // the stop signals', then SIGXFSZ's

void note(int number) {
  if (noted == 0) noted = number;
}

}  // namespace

void catch_stop_signals() {
  noted = 0;
  struct sigaction action {};
  action.sa_handler = note;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < kCount; ++i) sigaction(kStopSignals[i], &action, &previous[i]);
  action.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &action, &previous[kCount]);
}

int caught_stop_signal() {
  return noted;
}

void release_stop_signals() {
  for (int i = 0; i < kCount; ++i) sigaction(kStopSignals[i], &previous[i], nullptr);
  sigaction(SIGXFSZ, &previous[kCount], nullptr);
}

bool standard_error_is_terminal() {
  return isatty(STDERR_FILENO) == 1;
}
