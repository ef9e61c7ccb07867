#pragma once
// Builds Windows bitmap files byte by byte for tests and fuzz seeds, including layouts a careful
// writer would never produce. No dependencies beyond the standard library.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

struct BmpFileSpec {
  uint32_t header_size = 40;  // 12, 16, 40, 108, 124 or anything else on purpose
  int32_t width = 1;
  int32_t height = 1;  // negative: rows stored top-down
  uint16_t planes = 1;
  uint16_t bits = 24;
  uint32_t compression = 0;
  std::vector<uint32_t> palette;  // 0x00RRGGBB, written exactly as given
  // With header_size >= 108 the four masks go into the header; otherwise, when not empty, they
  // are written straight after it.
  std::vector<uint32_t> masks;
  bool zero_data_offset = false;  // write 0 instead of the real offset
  int64_t data_offset_override = -1;
  // Raw stored value of pixel x in stored row r (palette index, 16-bit word, 24-bit value or
  // 32-bit word).
  std::function<uint32_t(int x, int r)> pixel = [](int, int) { return 0u; };
};

inline void put_le(std::vector<uint8_t>& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline int bmp_stored_bits(int bits) {
  return bits < 8 ? bits : (bits + 7) / 8 * 8;
}

inline size_t bmp_row_bytes(int width, int bits) {
  return (static_cast<size_t>(width) * static_cast<size_t>(bmp_stored_bits(bits)) + 31) / 32 * 4;
}

inline std::vector<uint8_t> encode_bmp(const BmpFileSpec& f) {
  const int rows = f.height < 0 ? -f.height : f.height;
  const size_t row_bytes = bmp_row_bytes(f.width, f.bits);
  std::vector<uint8_t> info;
  const int size_field = f.header_size == 12 ? 2 : 4;  // the core header has 16-bit sizes
  put_le(info, static_cast<uint32_t>(f.width), size_field);
  put_le(info, static_cast<uint32_t>(f.height), size_field);
  put_le(info, f.planes, 2);
  put_le(info, f.bits, 2);
  if (f.header_size != 12) {
    put_le(info, f.compression, 4);
    put_le(info, row_bytes * static_cast<uint32_t>(rows), 4);
    put_le(info, 2835, 4);  // 72 dpi
    put_le(info, 2835, 4);
    put_le(info, f.palette.size(), 4);
    put_le(info, 0, 4);
    if (f.header_size >= 108) {
      for (size_t i = 0; i < 4; ++i) put_le(info, i < f.masks.size() ? f.masks[i] : 0, 4);
      put_le(info, 0x73524742, 4);  // "sRGB"
    }
  }
  // The size field counts itself; shorter headers simply cut the fields off.
  info.resize(f.header_size >= 4 ? f.header_size - 4 : 0, 0);
  if (f.header_size < 108) {
    for (uint32_t m : f.masks) put_le(info, m, 4);
  }
  for (uint32_t c : f.palette) put_le(info, c & 0xFFFFFF, f.header_size == 12 ? 3 : 4);

  std::vector<uint8_t> pixels(row_bytes * static_cast<size_t>(rows), 0);
  for (int r = 0; r < rows; ++r) {
    uint8_t* row = pixels.data() + row_bytes * static_cast<size_t>(r);
    for (int x = 0; x < f.width; ++x) {
      const uint32_t v = f.pixel(x, r);
      if (f.bits < 8) {  // the leftmost pixel in the highest bits
        const int per_byte = 8 / f.bits;
        row[x / per_byte] |= static_cast<uint8_t>(v << (8 - f.bits * (x % per_byte + 1)));
      } else {
        const int bytes = bmp_stored_bits(f.bits) / 8;
        for (int i = 0; i < bytes; ++i) row[x * bytes + i] = static_cast<uint8_t>(v >> (8 * i));
      }
    }
  }

  const uint64_t offset = 18 + info.size();
  std::vector<uint8_t> out{'B', 'M'};
  put_le(out, offset + pixels.size(), 4);
  put_le(out, 0, 4);
  const int64_t stated = f.zero_data_offset ? 0 : f.data_offset_override;
  put_le(out, stated >= 0 ? static_cast<uint64_t>(stated) : offset, 4);
  put_le(out, f.header_size, 4);
  out.insert(out.end(), info.begin(), info.end());
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

inline bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}
