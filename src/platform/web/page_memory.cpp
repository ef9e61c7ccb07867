// The browser's memory has no huge pages to ask for: aligned blocks from the heap.
#include "platform/page_memory.h"

#include <cstdint>
#include <cstdlib>

void* allocate_page_memory(size_t bytes) {
  if (bytes > SIZE_MAX - 63) return nullptr;
  return std::aligned_alloc(64, (bytes + 63) & ~size_t{63});
}

void free_page_memory(void* memory) {
  std::free(memory);
}
