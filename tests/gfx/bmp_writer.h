#pragma once
// Windows bitmap files byte by byte, odd layouts included, for tests and fuzz seeds.
#include <cstdint>
#include <functional>
#include <vector>

struct BmpFileSpec {
  uint32_t header_size = 40;      // 12, 16, 40, 108, 124 or anything else on purpose
  int32_t width = 1, height = 1;  // negative height: rows stored top-down
  uint16_t planes = 1, bits = 24;
  uint32_t compression = 0;
  std::vector<uint32_t> palette;  // 0x00RRGGBB, written exactly as given
  // Inside a header of 108 bytes or more; otherwise, when given, straight after the header.
  std::vector<uint32_t> masks;
  bool zero_data_offset = false;  // write 0 instead of the real offset
  // Raw stored value of pixel x in stored row r (palette index or little-endian pixel word).
  std::function<uint32_t(int x, int r)> pixel = [](int, int) { return 0u; };
};

inline void put_le(std::vector<uint8_t>& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline size_t bmp_row_bytes(int width, int bits) {
  const size_t stored = bits < 8 ? bits : (bits + 7) / 8 * 8;
  return (static_cast<size_t>(width) * stored + 31) / 32 * 4;
}

inline std::vector<uint8_t> encode_bmp(const BmpFileSpec& f) {
  const int rows = f.height < 0 ? -f.height : f.height;
  const size_t row_bytes = bmp_row_bytes(f.width, f.bits);
  const bool core = f.header_size == 12;  // 16-bit sizes and 3-byte palette entries
  std::vector<uint8_t> info;
  put_le(info, static_cast<uint32_t>(f.width), core ? 2 : 4);
  put_le(info, static_cast<uint32_t>(f.height), core ? 2 : 4);
  put_le(info, f.planes, 2);
  put_le(info, f.bits, 2);
  if (!core) {
    for (uint64_t v : {uint64_t{f.compression}, uint64_t{row_bytes} * rows, uint64_t{2835},
                       uint64_t{2835}, uint64_t{f.palette.size()}, uint64_t{0}})
      put_le(info, v, 4);
    for (size_t i = 0; f.header_size >= 108 && i < 5; ++i)
      put_le(info, i < 4 ? (i < f.masks.size() ? f.masks[i] : 0) : 0x73524742, 4);  // "sRGB"
  }
  // The size field counts itself; shorter headers simply cut the fields off.
  info.resize(f.header_size >= 4 ? f.header_size - 4 : 0, 0);
  for (size_t i = 0; f.header_size < 108 && i < f.masks.size(); ++i) put_le(info, f.masks[i], 4);
  for (uint32_t c : f.palette) put_le(info, c & 0xFFFFFF, core ? 3 : 4);

  std::vector<uint8_t> pixels(row_bytes * static_cast<size_t>(rows), 0);
  for (int r = 0; r < rows; ++r) {
    uint8_t* row = pixels.data() + row_bytes * static_cast<size_t>(r);
    for (int x = 0; x < f.width; ++x) {
      const uint32_t v = f.pixel(x, r);
      const int per_byte = f.bits < 8 ? 8 / f.bits : 0, bytes = (f.bits + 7) / 8;
      if (per_byte)  // the leftmost pixel in the highest bits
        row[x / per_byte] |= static_cast<uint8_t>(v << (8 - f.bits * (x % per_byte + 1)));
      for (int i = 0; !per_byte && i < bytes; ++i) row[x * bytes + i] = uint8_t(v >> (8 * i));
    }
  }
  const uint64_t offset = 18 + info.size();
  std::vector<uint8_t> out{'B', 'M'};
  put_le(out, offset + pixels.size(), 4);
  put_le(out, 0, 4);
  put_le(out, f.zero_data_offset ? 0 : offset, 4);
  put_le(out, f.header_size, 4);
  out.insert(out.end(), info.begin(), info.end());
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}
