#include "gfx/bmp_decode.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>

#include "gfx/color.h"
#include "gfx/error.h"

namespace {

constexpr uint64_t kFileHeaderSize = 14;

size_t read_memory(void* handle, uint64_t offset, uint8_t* buffer, size_t count) {
  const auto* memory = static_cast<const BmpMemory*>(handle);
  if (offset >= memory->size) return 0;
  const size_t n = static_cast<size_t>(std::min<uint64_t>(count, memory->size - offset));
  std::memcpy(buffer, memory->data + offset, n);
  return n;
}

// All-or-nothing read: a short read of a header field is as bad as a missing one.
bool read_exact(const BmpSource& source, uint64_t offset, uint8_t* buffer, size_t count) {
  if (offset > source.size || count > source.size - offset) return false;
  return source.read(source.handle, offset, buffer, count) == count;
}

uint32_t u16_at(const uint8_t* p) {
  return static_cast<uint32_t>(p[0] | (p[1] << 8));
}
uint32_t u32_at(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Depths whose pixels the converters can hold: packed 1 and 4, byte-sized palette indices, and
// 9 to 32 bits in whole 2-, 3- or 4-byte words. 2-bit files are not supported; 3, 5, 6 and 7 bits
// would be read as whole bytes and index past their 2^bits palette.
bool supported_depth(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || (bits >= 9 && bits <= 32);
}

int stored_bits_per_pixel(int bits) {
  return bits < 8 ? bits : (bits + 7) / 8 * 8;
}

// Stored rows are padded to whole 4-byte words.
uint64_t padded_row_bytes(int width, int bits) {
  return (static_cast<uint64_t>(width) * stored_bits_per_pixel(bits) + 31) / 32 * 4;
}

struct Channel {
  int shift;
  uint32_t mask;  // shifted down
  int bits;
};

Channel make_channel(uint32_t mask) {
  if (mask == 0) return {0, 0, 0};
  const int shift = std::countr_zero(mask);
  const uint32_t shifted = mask >> shift;
  return {shift, shifted, 32 - std::countl_zero(shifted)};
}

uint32_t channel_value(const Channel& c, uint32_t pixel) {
  return expand_channel((pixel >> c.shift) & c.mask, c.bits);
}

struct Converter {
  const BmpLayout* layout;
  Channel red, green, blue, alpha;
};

Color masked_colour(const Converter& cv, uint32_t pixel, bool with_alpha) {
  const uint32_t a = with_alpha ? channel_value(cv.alpha, pixel) : 0xFFu;
  return (a << 24) | (channel_value(cv.red, pixel) << 16) | (channel_value(cv.green, pixel) << 8) |
         channel_value(cv.blue, pixel);
}

void store_pixel(uint8_t* row, int x, int bytes_per_pixel, uint32_t word) {
  if (bytes_per_pixel == 4) {
    std::memcpy(row + static_cast<size_t>(x) * 4, &word, 4);
  } else if (bytes_per_pixel == 2) {
    const auto half = static_cast<uint16_t>(word);
    std::memcpy(row + static_cast<size_t>(x) * 2, &half, 2);
  } else {
    row[x] = static_cast<uint8_t>(word);
  }
}

void convert_row(const Converter& cv, const uint8_t* in, int width, const BmpTarget& target,
                 uint8_t* out) {
  const BmpLayout& layout = *cv.layout;
  const int bits = layout.bits_per_pixel;
  const int bpp = target.bytes_per_pixel;
  for (int x = 0; x < width; ++x) {
    if (bits <= 8) {
      uint32_t index;
      if (bits == 8) {
        index = in[x];
      } else {
        const int per_byte = 8 / bits;
        const int slot = x % per_byte;
        index = (in[x / per_byte] >> (8 - bits * (slot + 1))) & ((1u << bits) - 1);
      }
      const uint32_t word = bpp == 1 ? (index & target.colour_mask)
                                     : fix_color(bpp, COLOR_ALPHA | layout.palette[index]);
      store_pixel(out, x, bpp, word);
      continue;
    }
    Color c;
    if (bits <= 16) {
      c = masked_colour(cv, u16_at(in + static_cast<size_t>(x) * 2), false);
    } else if (bits <= 24) {
      const uint8_t* p = in + static_cast<size_t>(x) * 3;
      c = masked_colour(cv, p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16), false);
    } else {
      c = masked_colour(cv, u32_at(in + static_cast<size_t>(x) * 4), true);
    }
    store_pixel(out, x, bpp, fix_color(bpp, c));
  }
}

}  // namespace

BmpSource bmp_memory_source(BmpMemory& memory) {
  return {&memory, memory.size, read_memory};
}

uint32_t expand_channel(uint32_t v, int bits) {
  if (bits > 8) return v >> (bits - 8);
  if (bits >= 4) return (v << (8 - bits)) | (v >> (2 * bits - 8));
  return v << (8 - bits);
}

namespace {

// The info header: size, bits per pixel, compression and, from 108 bytes on, the four masks.
// width and height come back as stored (height negative for top-down rows).
bool read_info_header(const BmpSource& source, uint32_t h, BmpLayout& layout, int64_t& width,
                      int64_t& height, uint32_t& planes) {
  if (h == 12) {
    uint8_t core[8];
    if (!read_exact(source, 18, core, sizeof core)) return false;
    width = u16_at(core);
    height = u16_at(core + 2);
    planes = u16_at(core + 4);
    layout.bits_per_pixel = static_cast<int>(u16_at(core + 6));
    return true;
  }
  uint8_t info[52];
  const size_t wanted = h >= 108 ? 52 : h >= 24 ? 20 : h >= 20 ? 16 : 12;
  if (!read_exact(source, 18, info, wanted)) return false;
  width = static_cast<int32_t>(u32_at(info));
  height = static_cast<int32_t>(u32_at(info + 4));
  planes = u16_at(info + 8);
  layout.bits_per_pixel = static_cast<int>(u16_at(info + 10));
  if (h >= 20) layout.compression = u32_at(info + 12);
  if (h >= 108) {
    for (int i = 0; i < 4; ++i) layout.masks[i] = u32_at(info + 36 + 4 * i);
  }
  return true;
}

// One plane, a positive width, a height that is not 0 (negative only for uncompressed or
// bit-field rows), no run-length data, and a depth the converters can hold.
bool accept_geometry(BmpLayout& layout, int64_t width, int64_t height, uint32_t planes) {
  if (planes > 1 || width <= 0 || height == 0 || layout.compression > 3) return false;
  if (height < 0) {
    if (layout.compression != 0 && layout.compression != 3) return false;
    height = -height;  // int64: INT32_MIN negates safely and is then too tall for an int
    layout.top_down = true;
  }
  if (height > INT32_MAX) return false;
  // Run-length data is not decoded; reading it as rows would only show noise.
  if (layout.compression == 1 || layout.compression == 2) return false;
  if (!supported_depth(layout.bits_per_pixel)) return false;
  layout.width = static_cast<int>(width);
  layout.height = static_cast<int>(height);
  return true;
}

// The palette of files of up to 8 bits per pixel: 2^bits entries right after the headers, each
// blue, green, red and (unless the header is 12 bytes) one unused byte. Resolves the data offset,
// which 0 puts right after the palette.
bool read_palette(const BmpSource& source, uint32_t stated_offset, BmpLayout& layout) {
  const uint64_t headers_end = kFileHeaderSize + layout.header_size;
  const uint64_t entry_size = layout.header_size == 12 ? 3 : 4;
  layout.palette_entries = layout.bits_per_pixel <= 8 ? 1 << layout.bits_per_pixel : 0;
  const uint64_t palette_size = static_cast<uint64_t>(layout.palette_entries) * entry_size;
  if (stated_offset == 0) {
    layout.data_offset = headers_end + palette_size;
  } else {
    if (stated_offset < headers_end) return false;
    layout.data_offset = stated_offset;
  }
  if (layout.data_offset > source.size) return false;
  if (layout.palette_entries == 0) return true;
  uint8_t raw[256 * 4];
  if (!read_exact(source, headers_end, raw, static_cast<size_t>(palette_size))) return false;
  for (int i = 0; i < layout.palette_entries; ++i) {
    const uint8_t* e = raw + static_cast<size_t>(i) * entry_size;
    layout.palette[i] = (static_cast<uint32_t>(e[2]) << 16) | (e[1] << 8) | e[0];
  }
  return true;
}

// Bit-field files with headers shorter than 108 bytes keep three masks after the header and no
// alpha; files without bit fields use 5-5-5 up to 16 bits and 8-8-8-8 above.
bool read_masks(const BmpSource& source, BmpLayout& layout) {
  if (layout.compression == 3 && layout.header_size <= 107) {
    uint8_t raw[12];
    if (!read_exact(source, kFileHeaderSize + layout.header_size, raw, sizeof raw)) return false;
    for (int i = 0; i < 3; ++i) layout.masks[i] = u32_at(raw + 4 * i);
    layout.masks[3] = 0;
  } else if (layout.compression != 3) {
    static constexpr uint32_t k555[4] = {0x7C00, 0x03E0, 0x001F, 0};
    static constexpr uint32_t k8888[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    std::copy_n(layout.bits_per_pixel <= 16 ? k555 : k8888, 4, layout.masks);
  }
  return true;
}

}  // namespace

int read_bmp_layout(const BmpSource& source, BmpLayout& layout) {
  layout = BmpLayout{};
  uint8_t head[18];
  if (!read_exact(source, 0, head, sizeof head)) return ERROR_BAD_FILE_DATA;
  if (head[0] != 'B' || head[1] != 'M') return ERROR_BAD_FILE_DATA;
  const uint32_t h = u32_at(head + 14);
  if (h < 12 || (h > 12 && h < 16)) return ERROR_BAD_FILE_DATA;
  layout.header_size = h;
  int64_t width, height;
  uint32_t planes;
  if (!read_info_header(source, h, layout, width, height, planes) ||
      !accept_geometry(layout, width, height, planes) ||
      !read_palette(source, u32_at(head + 10), layout) || !read_masks(source, layout))
    return ERROR_BAD_FILE_DATA;
  layout.row_stride = padded_row_bytes(layout.width, layout.bits_per_pixel);
  return ERROR_NONE;
}

int check_bmp_target(const BmpLayout& layout, int bytes_per_pixel) {
  return bytes_per_pixel == 1 && layout.bits_per_pixel > 8 ? ERROR_ILLEGAL_CALL : ERROR_NONE;
}

int convert_bmp_rows(const BmpSource& source, const BmpLayout& layout, const BmpTarget& target) {
  const int width = std::min(target.width, layout.width);
  const int height = std::min(target.height, layout.height);
  const uint64_t available = source.size - layout.data_offset;  // data_offset <= size
  const uint64_t complete_rows =
      std::min<uint64_t>(available / layout.row_stride, static_cast<uint64_t>(layout.height));
  if (width <= 0 || height <= 0)
    return complete_rows < static_cast<uint64_t>(layout.height) ? ERROR_BAD_FILE_DATA : ERROR_NONE;

  // Only the file rows that land in the target are read; a bottom-up file stores them last.
  const uint64_t first = layout.top_down ? 0 : static_cast<uint64_t>(layout.height - height);
  const uint64_t end = std::min<uint64_t>(first + static_cast<uint64_t>(height), complete_rows);

  const int bits = layout.bits_per_pixel;
  const size_t needed = bits < 8 ? (static_cast<size_t>(width) * bits + 7) / 8
                                 : static_cast<size_t>(width) * static_cast<size_t>((bits + 7) / 8);
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[needed]);
  if (!buffer) return ERROR_OUT_OF_MEMORY;

  Converter cv{&layout, make_channel(layout.masks[0]), make_channel(layout.masks[1]),
               make_channel(layout.masks[2]), make_channel(layout.masks[3])};
  for (uint64_t r = first; r < end; ++r) {
    const uint64_t offset = layout.data_offset + r * layout.row_stride;
    if (source.read(source.handle, offset, buffer.get(), needed) != needed)
      return ERROR_BAD_FILE_DATA;
    const uint64_t y = layout.top_down ? r : static_cast<uint64_t>(layout.height) - 1 - r;
    convert_row(cv, buffer.get(), width, target, target.rows[y]);
  }
  return complete_rows < static_cast<uint64_t>(layout.height) ? ERROR_BAD_FILE_DATA : ERROR_NONE;
}
