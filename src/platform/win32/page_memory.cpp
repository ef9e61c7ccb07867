#include "platform/page_memory.h"

#include <malloc.h>

#include <cstdint>

// The C runtime has no aligned_alloc; its own aligned heap serves. Huge pages need a privilege
// that users do not have, so none are asked for.
void* allocate_page_memory(size_t bytes) {
  if (bytes > SIZE_MAX - 63) return nullptr;
  return _aligned_malloc((bytes + 63) & ~size_t{63}, 64);
}

void free_page_memory(void* memory) {
  _aligned_free(memory);
}
