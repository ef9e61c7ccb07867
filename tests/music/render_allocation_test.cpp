// The audio thread must not allocate: counts every operator new while the module renders.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <new>
#include <vector>

#include "music/module_player.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
}  // namespace

// The replacements pair malloc with free themselves; GCC cannot see that through inlining.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

TEST(RenderAllocation, RenderingTenSecondsAllocatesNothing) {
  std::ifstream file("../../data/module.xm", std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(file),
                                std::istreambuf_iterator<char>()};
  ModulePlayer* player = create_module_player(bytes.data(), bytes.size());
  ASSERT_NE(player, nullptr);
  std::vector<float> block(1024 * 2);
  render_module(player, block.data(), 1024);
  counting = true;
  for (int i = 0; i < 10 * PLAYER_RATE / 1024; ++i) {
    set_player_volume(player, 1.0f - static_cast<float>(i % 256) / 256.0f);
    render_module(player, block.data(), 1024);
  }
  counting = false;
  EXPECT_EQ(allocations.load(), 0);
  // The counter works: an allocation while counting is seen.
  counting = true;
  auto* probe = new std::vector<int>(8);
  counting = false;
  delete probe;
  EXPECT_GT(allocations.load(), 0);
  destroy_module_player(player);
}
