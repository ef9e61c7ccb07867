#include "platform/retrace_pacer.h"

int64_t refresh_period_ns(int refresh_rate) {
  const int64_t rate = refresh_rate > 0 ? refresh_rate : 60;
  return (1000000000 + rate / 2) / rate;
}

int64_t next_retrace_ns(RetracePacer& pacer, int64_t now_ns) {
  if (!pacer.started || pacer.next_ns > now_ns + 2 * pacer.period_ns) {
    // First wait, or a clock that jumped: start a fresh grid from now.
    pacer.started = true;
    pacer.next_ns = now_ns + pacer.period_ns;
    return pacer.next_ns;
  }
  pacer.next_ns += pacer.period_ns;
  if (pacer.next_ns < now_ns) {
    // Late: skip the refreshes already gone, as a real retrace wait would.
    const int64_t missed = (now_ns - pacer.next_ns) / pacer.period_ns + 1;
    pacer.next_ns += missed * pacer.period_ns;
  }
  return pacer.next_ns;
}
