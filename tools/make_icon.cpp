// Makes the program's icon from the header picture: the square around its first letter, halved
// by averaging 2x2 blocks. Writes it as a PNG for the desktop and as C++ pixels for the window.
// Usage: make_icon HEADER.bmp ICON.png ICON.cpp
#include <cstdint>
#include <cstdio>
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
constexpr int kIconSize = kHeaderHeight / 2;

uint32_t average(const uint32_t* p[4]) {
  uint32_t out = 0xFF000000u;  // the icon is opaque, like the picture on the screen
  for (int shift = 0; shift < 24; shift += 8) {
    uint32_t sum = 2;  // rounds to nearest
    for (int i = 0; i < 4; ++i) sum += (*p[i] >> shift) & 0xFF;
    out |= (sum / 4) << shift;
  }
  return out;
}

bool write_source(const std::string& path, const std::vector<uint32_t>& icon) {
  FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return false;
  std::fprintf(file,
               "// Made by make_icon from the header picture; do not edit.\n"
               "#include \"intro/intro_icon.h\"\n\n"
               "const int IntroIconSize = %d;\n"
               "const uint32_t IntroIcon[%d] = {",
               kIconSize, kIconSize * kIconSize);
  for (size_t i = 0; i < icon.size(); ++i)
    std::fprintf(file, "%s0x%08Xu,", i % 8 == 0 ? "\n    " : " ", icon[i]);
  std::fprintf(file, "\n};\n");
  return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_icon HEADER.bmp ICON.png ICON.cpp\n");
    return 2;
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
    return reinterpret_cast<const uint32_t*>(view.pixels + static_cast<ptrdiff_t>(y) * view.pitch) +
           x;
  };
  std::vector<uint32_t> icon;
  for (int y = 0; y < kIconSize; ++y) {
    for (int x = 0; x < kIconSize; ++x) {
      const int sx = kCropLeft + 2 * x, sy = 2 * y;
      const uint32_t* block[4] = {pixel(sx, sy), pixel(sx + 1, sy), pixel(sx, sy + 1),
                                  pixel(sx + 1, sy + 1)};
      icon.push_back(average(block));
    }
  }
  if (!png_writer::write_rgb(argv[2], icon.data(), kIconSize, kIconSize) ||
      !write_source(argv[3], icon)) {
    std::fprintf(stderr, "make_icon: cannot write the icon\n");
    return 1;
  }
  return 0;
}
