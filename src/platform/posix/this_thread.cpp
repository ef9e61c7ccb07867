#include "platform/this_thread.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <thread>

void name_this_thread(const char* name) {
  pthread_setname_np(pthread_self(), name);
}

void raise_this_thread(bool raised) {
  // Without the privilege the call fails and the thread keeps its normal priority.
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), raised ? -5 : 0);
}

void pause_this_thread(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void pause_this_thread_until(int64_t deadline_ns) {
  using Clock = std::chrono::steady_clock;
  std::this_thread::sleep_until(Clock::time_point(std::chrono::nanoseconds(deadline_ns)));
}
