#pragma once
// Loading Windows bitmaps into an image or onto the screen's work page.
#include <cstddef>
#include <cstdint>

#include "gfx/image_view.h"

// Larger than any real picture: a bigger file is refused unread.
constexpr uint64_t MAX_BMP_FILE_BYTES = 256u << 20;

// Reads the file into target (null = the screen's work page), converting to the target's pixel
// format and clipping to its size. palette_out, when given, receives the palette of files of up
// to 8 bits per pixel as 3 bytes per entry (red, green, blue, each >> 2; room for 256 entries)
// instead of the screen's palette. Returns and stores the error code: 0 success, 1 no screen or a
// high-colour file into a 1-byte target, 2 file not openable, 3 bad or truncated data, 4 out of
// memory. Rows converted before the data ended are kept.
int load_bmp(const char* file_name, Image target, uint8_t* palette_out);

// The same from a file already in memory.
int load_bmp_memory(const uint8_t* data, size_t size, Image target, uint8_t* palette_out);
