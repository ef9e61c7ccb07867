// One whole frame of the intro on the window-less back end: every effect drawn, the page shown
// (set_pages and copy_page as the frame loop does), no pacing. Reports the median time per frame
// over many frames, without and with the exit fade, next to memcpy of 5 MiB (about one frame's
// pixel traffic) measured in the same run. Run from data/ so the header picture loads.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gfx/fast_paths.h"
#include "gfx/screen.h"
#include "intro/sequencer.h"
#include "platform/keyboard.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t kSeed = 12345;
constexpr int kFadeFrames = 256;

void start() {
  force_display_driver("Null");
  if (start_intro(kSeed, false) != 0) std::abort();
}

// Wall time and this thread's processor time of one frame; on a shared machine the second is
// free of the time other processes held the core.
struct FrameTime {
  double wall_us;
  double cpu_us;
};

double thread_cpu_us() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

FrameTime frame_microseconds() {
  const double c0 = thread_cpu_us();
  const auto t0 = Clock::now();
  draw_frame();
  set_pages(0, 1);
  copy_page(0, 1);
  const double wall = std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
  return {wall, thread_cpu_us() - c0};
}

void report(benchmark::State& state, const std::vector<FrameTime>& frames) {
  std::vector<double> wall, cpu;
  for (const FrameTime& f : frames) {
    wall.push_back(f.wall_us);
    cpu.push_back(f.cpu_us);
  }
  std::sort(wall.begin(), wall.end());
  std::sort(cpu.begin(), cpu.end());
  const size_t n = frames.size();
  state.counters["frames"] = static_cast<double>(n);
  state.counters["median_us"] = wall[n / 2];
  state.counters["p90_us"] = wall[n * 9 / 10];
  state.counters["cpu_median_us"] = cpu[n / 2];
}

// Frames without the fade, after 100 frames of warming up.
void whole_frame(benchmark::State& state, bool scalar_kernels) {
  const int frames = static_cast<int>(state.range(0));
  const KernelLevel chosen = pixel_kernels().level;
  if (scalar_kernels) use_pixel_kernels(KernelLevel::Scalar);
  std::vector<FrameTime> times;
  for (auto _ : state) {
    start();
    for (int i = 0; i < 100; ++i) frame_microseconds();
    times.clear();
    for (int i = 0; i < frames; ++i) times.push_back(frame_microseconds());
  }
  use_pixel_kernels(chosen);
  report(state, times);
}

// Fade frames: each start runs 100 plain frames, then a close request and its 256 fade frames.
void fade_frame(benchmark::State& state) {
  const int runs = static_cast<int>(state.range(0));
  std::vector<FrameTime> times;
  for (auto _ : state) {
    times.clear();
    for (int r = 0; r < runs; ++r) {
      start();
      for (int i = 0; i < 100; ++i) frame_microseconds();
      push_key(CLOSE_KEY_CODE);
      for (int i = 0; i < kFadeFrames; ++i) times.push_back(frame_microseconds());
    }
  }
  report(state, times);
}

void memcpy_5mib(benchmark::State& state) {
  constexpr size_t kBytes = size_t{5} << 20;
  std::vector<uint8_t> from(kBytes, 1), to(kBytes, 2);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), kBytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBytes);
}

}  // namespace

BENCHMARK(memcpy_5mib)->Name("frame/memcpy_5MiB");
BENCHMARK_CAPTURE(whole_frame, fast, false)
    ->Name("frame/no_fade")
    ->Arg(2000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(whole_frame, scalar, true)
    ->Name("frame/no_fade_scalar_kernels")
    ->Arg(2000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(fade_frame)->Name("frame/fade")->Arg(4)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
