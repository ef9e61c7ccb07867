// The audio thread must not allocate: counts every operator new while the module renders.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <new>
#include <vector>

#include "music/module_player.h"

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

TEST(RenderAllocation, RenderingTenSecondsAllocatesNothing) {
  std::ifstream file("../../data/module.xm", std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
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
