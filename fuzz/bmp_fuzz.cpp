// libFuzzer target for the bitmap decoder that load_bmp and load_bmp_memory share. Every target
// row is its own exact-size allocation, so a write past a row's end is caught by the address
// sanitizer rather than landing in the next row.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "gfx/bmp_decode.h"

namespace {

struct RowBlock {
  std::vector<std::unique_ptr<uint8_t[]>> storage;
  std::vector<uint8_t*> rows;
};

// Allocated once per shape: the target's contents do not matter, only where writes land.
uint8_t* const* rows_for(int width, int height, int bytes_per_pixel) {
  static std::vector<std::pair<uint64_t, RowBlock>> blocks;
  const uint64_t key = (static_cast<uint64_t>(width) << 32) | (height << 8) | bytes_per_pixel;
  for (auto& [k, block] : blocks) {
    if (k == key) return block.rows.data();
  }
  RowBlock block;
  for (int y = 0; y < height; ++y) {
    block.storage.emplace_back(new uint8_t[static_cast<size_t>(width) * bytes_per_pixel]());
    block.rows.push_back(block.storage.back().get());
  }
  blocks.emplace_back(key, std::move(block));
  return blocks.back().second.rows.data();
}

void convert_into(const BmpSource& source, const BmpLayout& layout, int width, int height,
                  int bytes_per_pixel) {
  if (check_bmp_target(layout, bytes_per_pixel) != 0) return;
  const BmpTarget target{rows_for(width, height, bytes_per_pixel), width, height, bytes_per_pixel,
                         0xFF};
  const int result = convert_bmp_rows(source, layout, target);
  if (result != 0 && result != 3) __builtin_trap();  // nothing else may come out of a conversion
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  BmpMemory memory{data, size};
  const BmpSource source = bmp_memory_source(memory);
  BmpLayout layout;
  if (read_bmp_layout(source, layout) != 0) return 0;
  if (layout.data_offset > size || layout.row_stride == 0) __builtin_trap();
  convert_into(source, layout, 512, 96, 4);  // the intro's header image
  convert_into(source, layout, 5, 3, 4);     // smaller than most files: clipping on both axes
  convert_into(source, layout, 3, 7, 2);
  convert_into(source, layout, 9, 2, 1);
  return 0;
}
