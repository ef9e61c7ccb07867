// The shipped module decoded without a device: its length, looping and volume, and the audio
// thread's rule that rendering never allocates (every operator new is counted).
#include "music/module_player.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <vector>

#include "music/analysis.h"

// The replacements pair malloc with free themselves; GCC cannot see that through inlining.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// Every form of new and delete is replaced, so that all pair with each other, also under ASan.
namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

// Every block sits in a larger malloc'd one whose address precedes it: one way to free them all.
void* counted_allocation(std::size_t size, std::size_t alignment) {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
  if (size > SIZE_MAX / 2 || alignment > SIZE_MAX / 4) return nullptr;
  void* raw = std::malloc(size + alignment + sizeof(void*));
  if (raw == nullptr) return nullptr;
  const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*);
  void** block = reinterpret_cast<void**>((first + alignment - 1) / alignment * alignment);
  block[-1] = raw;
  return block;
}
void release(void* block) {
  if (block != nullptr) std::free(static_cast<void**>(block)[-1]);
}
void* counted_or_throw(std::size_t size, std::size_t alignment) {
  if (void* p = counted_allocation(size, alignment)) return p;
  throw std::bad_alloc();
}
constexpr std::size_t plain = alignof(std::max_align_t);

std::unique_ptr<ModulePlayer, decltype(&destroy_module_player)> load_shipped() {
  std::ifstream file("../../data/module.xm", std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
  return {create_module_player(bytes.data(), bytes.size()), destroy_module_player};
}

float peak(const std::vector<float>& samples) {
  float p = 0.0f;
  for (float s : samples) p = std::max(p, std::fabs(s));
  return p;
}

}  // namespace
#define aligned(a) static_cast<std::size_t>(a)

// The array form of each operator does what its single form does.
#define SINGLE_AND_ARRAY(result, op, parameters, body) \
  result operator op parameters body result operator op[] parameters body

using std::align_val_t, std::nothrow_t, std::size_t;
SINGLE_AND_ARRAY(void*, new, (size_t n), { return counted_or_throw(n, plain); })
SINGLE_AND_ARRAY(void*, new, (size_t n, const nothrow_t&) noexcept,
                 { return counted_allocation(n, plain); })
SINGLE_AND_ARRAY(void*, new, (size_t n, align_val_t a), { return counted_or_throw(n, aligned(a)); })
SINGLE_AND_ARRAY(void*, new, (size_t n, align_val_t a, const nothrow_t&) noexcept,
                 { return counted_allocation(n, aligned(a)); })
SINGLE_AND_ARRAY(void, delete, (void* p) noexcept, { release(p); })
SINGLE_AND_ARRAY(void, delete, (void* p, size_t) noexcept, { release(p); })
SINGLE_AND_ARRAY(void, delete, (void* p, const nothrow_t&) noexcept, { release(p); })
SINGLE_AND_ARRAY(void, delete, (void* p, align_val_t) noexcept, { release(p); })
SINGLE_AND_ARRAY(void, delete, (void* p, size_t, align_val_t) noexcept, { release(p); })
SINGLE_AND_ARRAY(void, delete, (void* p, align_val_t, const nothrow_t&) noexcept, { release(p); })

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

TEST(RenderAllocation, RenderingTenSecondsAllocatesNothing) {
  auto player = load_shipped();
  ASSERT_NE(player, nullptr);
  std::vector<float> block(1024 * 2);
  render_module(player.get(), block.data(), 1024);
  counting = true;
  for (int i = 0; i < 10 * PLAYER_RATE / 1024; ++i) {
    set_player_volume(player.get(), 1.0f - static_cast<float>(i % 256) / 256.0f);
    render_module(player.get(), block.data(), 1024);
  }
  counting = false;
  EXPECT_EQ(allocations.load(), 0);
  // The counter works: an allocation while counting is seen.
  counting = true;
  auto* probe = new std::vector<int>(8);
  counting = false;
  delete probe;
  EXPECT_GT(allocations.load(), 0);
}
