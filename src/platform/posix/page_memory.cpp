#include "platform/page_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace {
constexpr size_t kHugePage = size_t{2} << 20;
}  // namespace

void* allocate_page_memory(size_t bytes) {
  if (bytes < kHugePage / 2) return std::aligned_alloc(64, (bytes + 63) & ~size_t{63});
  if (bytes > SIZE_MAX - kHugePage) return nullptr;
  const size_t rounded = (bytes + kHugePage - 1) & ~(kHugePage - 1);
  void* memory = std::aligned_alloc(kHugePage, rounded);
  // Only advice: without huge pages the block works the same.
  if (memory != nullptr) (void)madvise(memory, rounded, MADV_HUGEPAGE);
  return memory;
}

void free_page_memory(void* memory) {
  std::free(memory);
}
