#pragma once
// Windows bitmap decoding without any screen state: header parsing and validation, and the
// conversion of pixel rows into a caller's row table. Every read is bounded by what the input
// holds, and nothing is allocated in proportion to a size the input merely claims.
#include <cstddef>
#include <cstdint>

// Random-access input. read copies up to count bytes from offset and returns how many it copied;
// size is the input's length in bytes.
struct BmpSource {
  void* handle;
  uint64_t size;
  size_t (*read)(void* handle, uint64_t offset, uint8_t* buffer, size_t count);
};

// An input held in memory; the bytes must outlive the source.
struct BmpMemory {
  const uint8_t* data;
  size_t size;
};
BmpSource bmp_memory_source(BmpMemory& memory);

struct BmpLayout {
  uint32_t header_size;
  int width;
  int height;  // positive; top_down tells the row order
  bool top_down;
  int bits_per_pixel;
  uint32_t compression;
  uint64_t data_offset;   // resolved: never 0, never inside the headers
  int palette_entries;    // 2^bits for up to 8 bits per pixel, else 0
  uint32_t palette[256];  // 0x00RRGGBB
  uint32_t masks[4];      // red, green, blue, alpha as stored in the file
  uint64_t row_stride;    // bytes per stored row, padding included
};

// Reads and checks the file header, the info header, the palette and the colour masks.
// 0 on success, 3 for anything the loader cannot or will not read.
int read_bmp_layout(const BmpSource& source, BmpLayout& layout);

// Destination of the conversion: row pointers of a width x height block of pixels.
struct BmpTarget {
  uint8_t* const* rows;
  int width;
  int height;
  int bytes_per_pixel;   // 1, 2 or 4
  uint32_t colour_mask;  // applied to palette indices on 1-byte targets
};

// 0 when the layout can be converted to the target's pixel width; 1 for a high-colour file into
// a 1-byte target.
int check_bmp_target(const BmpLayout& layout, int bytes_per_pixel);

// Converts the file's rows into the target, clipped to min(target, file) in both directions.
// Rows are read in file order; a row the input does not hold in full ends the conversion with 3,
// keeping the rows converted before it. 4 when the row buffer cannot be allocated.
int convert_bmp_rows(const BmpSource& source, const BmpLayout& layout, const BmpTarget& target);

// One channel value v of the given bit count widened to 8 bits.
uint32_t expand_channel(uint32_t v, int bits);
