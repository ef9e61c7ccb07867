#include "platform/presenter_lock.h"

#include <chrono>
#include <mutex>

namespace {
// Timed so the window thread can give up waiting and notice that it is being stopped while the
// drawing thread still holds the lock.
std::recursive_timed_mutex& presenter_mutex() {
  static std::recursive_timed_mutex mutex;
  return mutex;
}
}  // namespace

void take_presenter_lock() {
  presenter_mutex().lock();
}

void release_presenter_lock() {
  presenter_mutex().unlock();
}

// On the system clock, where the library waits with pthread_mutex_timedlock, which thread checkers
// understand; a steady-clock wait goes through pthread_mutex_clocklock, which some do not see. A
// clock step during the wait only lengthens or shortens one bounded wait.
bool try_take_presenter_lock(int timeout_ms) {
  return presenter_mutex().try_lock_until(std::chrono::system_clock::now() +
                                          std::chrono::milliseconds(timeout_ms));
}
