// The shipped module decoded without a device: its length, looping and volume.
#include "music/module_player.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "music/analysis.h"

namespace {

const char* const SHIPPED_MODULE = "../../data/module.xm";

std::vector<char> read_bytes(const char* name) {
  std::ifstream file(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

std::unique_ptr<ModulePlayer, decltype(&destroy_module_player)> load_shipped() {
  const auto bytes = read_bytes(SHIPPED_MODULE);
  return {create_module_player(bytes.data(), bytes.size()), destroy_module_player};
}

float peak(const std::vector<float>& samples) {
  float p = 0.0f;
  for (float s : samples) p = std::max(p, std::fabs(s));
  return p;
}

}  // namespace

TEST(ModulePlayer, ShippedModuleLastsOverNinetySecondsAndKeepsPlayingPastItsEnd) {
  auto player = load_shipped();
  ASSERT_NE(player, nullptr);
  const double duration = module_duration_seconds(player.get());
  EXPECT_GE(duration, 90.0);
  seek_module(player.get(), duration - 1.0);
  // Four seconds from one second before the end: every half second past the end still sounds.
  std::vector<float> block(PLAYER_RATE / 2 * 2);
  for (int half_second = 0; half_second < 8; ++half_second) {
    render_module(player.get(), block.data(), PLAYER_RATE / 2);
    EXPECT_GT(peak(block), 0.01f) << "half second " << half_second;
  }
}

TEST(ModulePlayer, RingHoldsTheFramesBeforeTheVolumeWhichIsClampedAndRamped) {
  auto player = load_shipped();
  ASSERT_NE(player, nullptr);
  seek_module(player.get(), 10.0);
  constexpr int frames = 1024;
  std::vector<float> out(frames * 2), heard(frames * 2);
  int64_t rendered = 0;
  const auto render = [&](float volume) {
    set_player_volume(player.get(), volume);
    render_module(player.get(), out.data(), frames);
    rendered += frames;
    ring_read(player_ring(player.get()), rendered, frames, heard.data());
    ASSERT_GT(peak(heard), 0.01f);
  };
  // Full volume, or more (clamped to 1): the output is what was recorded.
  render(1.0f);
  EXPECT_EQ(out, heard);
  render(7.0f);
  EXPECT_EQ(out, heard);

  // Half volume: a ramp down (its steps are the gain ramp's own test), then half of each sample.
  render(0.5f);
  EXPECT_NE(out, heard);
  render(0.5f);
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], heard[i] * 0.5f) << i;
  // A volume that is no number counts as 0: after its ramp, silence.
  render(std::nanf(""));
  render(std::nanf(""));
  for (float sample : out) ASSERT_EQ(sample, 0.0f);
}
