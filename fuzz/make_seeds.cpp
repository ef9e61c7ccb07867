// Writes the fuzzer's seed corpus: one small valid file of every layout the loader accepts.
#include <cstdio>
#include <string>
#include <vector>

#include "gfx/bmp_writer.h"

namespace {

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

uint32_t pattern(int x, int r) {
  return static_cast<uint32_t>(x * 0x3F1D27 + r * 0x1A2B3C + 0x55);
}

BmpFileSpec base(uint32_t header_size, int bits, int width, int height) {
  BmpFileSpec f;
  f.header_size = header_size;
  f.bits = static_cast<uint16_t>(bits);
  f.width = width;
  f.height = height;
  if (bits <= 8) {
    for (int i = 0; i < (1 << bits); ++i) f.palette.push_back(pattern(i, 7) & 0xFFFFFF);
    f.pixel = [bits](int x, int r) { return pattern(x, r) & ((1u << bits) - 1); };
  } else {
    f.pixel = pattern;
  }
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  int written = 0;
  const auto save = [&](const char* name, const BmpFileSpec& f) {
    if (write_file(dir + "/" + name + ".bmp", encode_bmp(f))) ++written;
  };
  for (int bits : {1, 4, 8}) {
    save(("core_" + std::to_string(bits)).c_str(), base(12, bits, 9, 5));
    save(("info_" + std::to_string(bits)).c_str(), base(40, bits, 11, 3));
    BmpFileSpec top = base(40, bits, 5, -4);
    top.zero_data_offset = true;
    save(("top_down_" + std::to_string(bits)).c_str(), top);
  }
  save("rgb555", base(40, 16, 7, 3));
  save("short_header_24", base(16, 24, 3, 2));
  save("info_24", base(40, 24, 5, 4));
  save("top_down_24", base(40, 24, 6, -3));
  save("info_32", base(40, 32, 4, 4));
  BmpFileSpec rgb565 = base(40, 16, 5, 2);
  rgb565.compression = 3;
  rgb565.masks = {0xF800, 0x07E0, 0x001F};
  save("rgb565", rgb565);
  BmpFileSpec fields32 = base(40, 32, 3, -3);
  fields32.compression = 3;
  fields32.masks = {0xFF0000, 0xFF00, 0xFF};
  save("bitfields_32", fields32);
  for (uint32_t header : {108u, 124u}) {
    BmpFileSpec alpha = base(header, 32, 6, 2);
    alpha.compression = 3;
    alpha.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    save(("alpha_" + std::to_string(header)).c_str(), alpha);
    BmpFileSpec argb4444 = base(header, 16, 3, 3);
    argb4444.compression = 3;
    argb4444.masks = {0x0F00, 0x00F0, 0x000F, 0xF000};
    save(("argb4444_" + std::to_string(header)).c_str(), argb4444);
  }
  std::printf("make_seeds: %d files in %s\n", written, dir.c_str());
  return written > 0 ? 0 : 1;
}
