// How soon a finished frame reaches the window thread: the time from the drawing thread finishing
// a frame to the window thread, asleep in its wait, having fetched it under the lock. The window
// side must fetch within 10 ms; this is the hand-off's own share of that, without SDL.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/frame_handoff.h"

namespace {
using Clock = std::chrono::steady_clock;

void BM_FrameHandoffLatency(benchmark::State& state) {
  FrameHandoff handoff;
  if (!handoff_open(handoff, std::chrono::seconds(1))) {
    state.SkipWithError("no eventfd");
    return;
  }
  std::thread window([&] {
    handoff_report_start(handoff, true);
    for (;;) {
      const int wake = handoff_wait(handoff, -1, 50);
      if (wake & WAKE_STOP) return;
      if (wake & WAKE_FRAME) handoff_fetched(handoff);
    }
  });
  handoff_await_start(handoff);
  std::vector<double> latencies_us;
  for (auto _ : state) {
    // A frame every 2 ms, so the window thread is asleep when it comes, as between real frames.
    state.PauseTiming();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    state.ResumeTiming();
    const auto finished = Clock::now();
    handoff_frame_finished(handoff);
    handoff_await_turn(handoff);
    latencies_us.push_back(
        std::chrono::duration<double, std::micro>(Clock::now() - finished).count());
  }
  handoff_stop(handoff);
  window.join();
  handoff_close(handoff);
  std::sort(latencies_us.begin(), latencies_us.end());
  if (latencies_us.empty()) return;
  state.counters["p50_us"] = latencies_us[latencies_us.size() / 2];
  state.counters["p99_us"] = latencies_us[latencies_us.size() * 99 / 100];
  state.counters["max_us"] = latencies_us.back();
}
BENCHMARK(BM_FrameHandoffLatency)->Iterations(2000)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
