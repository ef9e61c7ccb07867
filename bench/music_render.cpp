// Cost of the music on each thread: the audio thread's work per block (decoding, recording for
// analysis, the volume ramp) and the drawing thread's two queries per frame.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "music/analysis.h"
#include "music/audio_output.h"
#include "music/frame_ring.h"
#include "music/module_player.h"

namespace {

// The shipped module, found next to this source file wherever the benchmark runs from.
std::vector<char> shipped_module() {
  const std::string source = __FILE__;
  const std::string root = source.substr(0, source.rfind("bench/"));
  std::ifstream file(root + "data/module.xm", std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// One iteration renders one second of music in device-sized blocks, as the audio callback does;
// the time per iteration is the audio thread's CPU time per second of music.
void BM_RenderOneSecondOfMusic(benchmark::State& state) {
  const auto bytes = shipped_module();
  ModulePlayer* player = create_module_player(bytes.data(), bytes.size());
  if (player == nullptr) {
    state.SkipWithError("module.xm not loadable");
    return;
  }
  std::vector<float> block(OUTPUT_BLOCK_FRAMES * 2);
  constexpr int blocks_per_second = PLAYER_RATE / OUTPUT_BLOCK_FRAMES + 1;
  float volume = 1.0f;
  for (auto _ : state) {
    for (int i = 0; i < blocks_per_second; ++i) {
      volume = volume > 0.01f ? volume - 1.0f / 256.0f : 1.0f;  // keep the ramp busy
      set_player_volume(player, volume);
      render_module(player, block.data(), OUTPUT_BLOCK_FRAMES);
    }
    benchmark::DoNotOptimize(block.data());
  }
  destroy_module_player(player);
}
BENCHMARK(BM_RenderOneSecondOfMusic)->Unit(benchmark::kMillisecond);

// The drawing thread's share per frame: copy the heard frames twice, level and spectrum.
void BM_FrameQueries(benchmark::State& state) {
  auto ring = std::make_unique<FrameRing>();
  std::vector<float> noise(RING_FRAMES * 2);
  uint32_t seed = 1;
  for (float& v : noise) {
    seed = seed * 1664525u + 1013904223u;
    v = static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
  }
  ring_write(*ring, noise.data(), RING_FRAMES);
  SpectrumAnalyser* analyser = create_spectrum_analyser();
  std::vector<float> heard(SPECTRUM_FRAMES * 2);
  float magnitudes[SPECTRUM_BINS];
  for (auto _ : state) {
    ring_read(*ring, RING_FRAMES - 100, LEVEL_WINDOW_FRAMES, heard.data());
    benchmark::DoNotOptimize(peak_level_word(heard.data(), LEVEL_WINDOW_FRAMES));
    ring_read(*ring, RING_FRAMES - 100, SPECTRUM_FRAMES, heard.data());
    spectrum_magnitudes(analyser, heard.data(), magnitudes);
    benchmark::DoNotOptimize(magnitudes);
  }
  destroy_spectrum_analyser(analyser);
}
BENCHMARK(BM_FrameQueries)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
