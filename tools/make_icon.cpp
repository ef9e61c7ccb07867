// Makes the program's icons from the header picture: the square around its first letter,
// resampled to each size by averaging the source area every icon pixel covers (2x2 blocks at 48,
// sharp blocks with blended seams above the square's 96). Writes DIR/icon_SIZE.png for the desktop
// at each size given, and the 48x48 one as C++ pixels for the window.
// Usage: make_icon HEADER.bmp ICON.cpp DIR SIZE...
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "gfx/bmp.h"
#include "gfx/image.h"
#include "gfx/screen.h"
#include "png_writer.h"

namespace {

constexpr int kHeaderWidth = 512;
constexpr int kHeaderHeight = 96;
constexpr int kCropLeft = 56;  // the square holding the picture's first letter
constexpr int kWindowIconSize = kHeaderHeight / 2;

constexpr int kSquare = kHeaderHeight;  // the cropped square's side, in header pixels
constexpr int kMaxIconSize = 1024;

// How much of source pixel i (out of `size` pixels covering kSquare) icon pixel x covers, in
// units of 1/size of a source pixel: its interval [x, x+1) scaled to kSquare.
int64_t overlap(int x, int i, int size) {
  const int64_t low = std::max<int64_t>(int64_t{x} * kSquare, int64_t{i} * size);
  const int64_t high = std::min<int64_t>(int64_t{x + 1} * kSquare, int64_t{i + 1} * size);
  return std::max<int64_t>(0, high - low);
}

// The square resampled to size x size: each channel the exact area-weighted mean, rounded.
std::vector<uint32_t> resample(const std::function<uint32_t(int, int)>& pixel, int size) {
  std::vector<uint32_t> icon;
  icon.reserve(static_cast<size_t>(size) * size);
  const int64_t total = int64_t{kSquare} * kSquare;  // the weights of one icon pixel add up to it
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      int64_t sums[3] = {total / 2, total / 2, total / 2};  // rounds to nearest
      for (int sy = y * kSquare / size; sy < kSquare && sy * size < (y + 1) * kSquare; ++sy) {
        const int64_t wy = overlap(y, sy, size);
        for (int sx = x * kSquare / size; sx < kSquare && sx * size < (x + 1) * kSquare; ++sx) {
          const int64_t w = wy * overlap(x, sx, size);
          const uint32_t p = pixel(sx, sy);
          for (int c = 0; c < 3; ++c) sums[c] += w * ((p >> (8 * c)) & 0xFF);
        }
      }
      uint32_t out = 0xFF000000u;  // the icon is opaque, like the picture on the screen
      for (int c = 0; c < 3; ++c) out |= static_cast<uint32_t>(sums[c] / total) << (8 * c);
      icon.push_back(out);
    }
  }
  return icon;
}

bool write_source(const std::string& path, const std::vector<uint32_t>& icon) {
  FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return false;
  std::fprintf(file,
               "// Made by make_icon from the header picture; do not edit.\n"
               "#include \"intro/intro_icon.h\"\n\n"
               "const int IntroIconSize = %d;\n"
               "const uint32_t IntroIcon[%d] = {",
               kWindowIconSize, kWindowIconSize * kWindowIconSize);
  for (size_t i = 0; i < icon.size(); ++i)
    std::fprintf(file, "%s0x%08Xu,", i % 8 == 0 ? "\n    " : " ", icon[i]);
  std::fprintf(file, "\n};\n");
  return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: make_icon HEADER.bmp ICON.cpp DIR SIZE...\n");
    return 2;
  }
  std::vector<int> sizes;
  for (int i = 4; i < argc; ++i) {
    char* end = nullptr;
    const long size = std::strtol(argv[i], &end, 10);
    if (end == argv[i] || *end != '\0' || size < 1 || size > kMaxIconSize) {
      std::fprintf(stderr, "make_icon: '%s' is not a size from 1 to %d\n", argv[i], kMaxIconSize);
      return 2;
    }
    sizes.push_back(static_cast<int>(size));
  }
  force_display_driver("Null");
  if (set_screen_mode(640, 480, 32, 2, 0xC0, 0) != 0) return 1;
  Image header = create_image(kHeaderWidth, kHeaderHeight, 0, 0, IMAGE_DEFAULT_FILL);
  if (header == nullptr || load_bmp(argv[1], header, nullptr) != 0) {
    std::fprintf(stderr, "make_icon: cannot read %s\n", argv[1]);
    return 1;
  }
  const ImageView view = image_view(header, 4);
  auto pixel = [&](int x, int y) {
    return reinterpret_cast<const uint32_t*>(view.pixels +
                                             static_cast<ptrdiff_t>(y) * view.pitch)[kCropLeft + x];
  };
  bool written = write_source(argv[2], resample(pixel, kWindowIconSize));
  for (const int size : sizes) {
    const std::string path = std::string(argv[3]) + "/icon_" + std::to_string(size) + ".png";
    written = written && png_writer::write_rgb(path, resample(pixel, size).data(), size, size);
  }
  if (!written) {
    std::fprintf(stderr, "make_icon: cannot write the icons\n");
    return 1;
  }
  return 0;
}
