#pragma once
// Memory for whole pages of pixels, which every frame sweeps end to end.
#include <cstddef>

// At least `bytes`, 64-byte aligned; null when out of memory. Large blocks are asked to sit on
// huge pages where the system offers them: a frame's sweeps then miss the address cache once per
// 2 MiB instead of once per 4 KiB, and a new page faults in at once, not 4 KiB at a time.
void* allocate_page_memory(size_t bytes);
void free_page_memory(void* memory);
