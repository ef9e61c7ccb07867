#include "platform/this_thread.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <timeapi.h>

#include "support/steady_clock.h"

namespace {

// Windows wakes sleepers on its timer tick, 15.6 ms unless a program asks for finer: a 2 ms
// pause would take a whole tick and the frame loop would miss every other refresh. Asked once,
// for the process's life.
void use_fine_timer() {
  static const bool asked = timeBeginPeriod(1) == TIMERR_NOERROR;
  (void)asked;
}
}  // namespace

void name_this_thread(const char* name) {
  // Windows 10 1607 and later: looked up, so the program still starts on older systems.
  using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  static const auto set_description = reinterpret_cast<SetDescription>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
  if (set_description == nullptr) return;
  wchar_t wide[16] = {};
  for (int i = 0; i < 15 && name[i] != 0; ++i) wide[i] = static_cast<unsigned char>(name[i]);
  set_description(GetCurrentThread(), wide);
}

void raise_this_thread(bool raised) {
  SetThreadPriority(GetCurrentThread(),
                    raised ? THREAD_PRIORITY_ABOVE_NORMAL : THREAD_PRIORITY_NORMAL);
}

void pause_this_thread(int ms) {
  use_fine_timer();
  Sleep(static_cast<DWORD>(ms < 0 ? 0 : ms));
}

void pause_this_thread_until(int64_t deadline_ns) {
  use_fine_timer();
  // Whole milliseconds asleep, then the last fraction yielding: a tick can run over by nearly a
  // millisecond, which a retrace deadline cannot spare.
  for (int64_t left = deadline_ns - steady_now_ns(); left > 0;
       left = deadline_ns - steady_now_ns()) {
    const int64_t whole_ms = left / 1000000 - 1;
    if (whole_ms > 0) {
      Sleep(static_cast<DWORD>(whole_ms));
    } else {
      SwitchToThread();
    }
  }
}
