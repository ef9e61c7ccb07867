// Loads a bitmap the way the intro loads its header picture and dumps the result.
// Usage: bmp_dump FILE [--size WxH] [--out FILE]
// Prints "error N" (the load's error code) and writes the image's pixel words, little-endian and
// row by row, to --out; exits 0 whatever the load's code.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gfx/bmp.h"
#include "gfx/image.h"
#include "gfx/screen.h"

namespace {

int usage() {
  std::fprintf(stderr, "usage: bmp_dump FILE [--size WxH] [--out FILE]\n");
  return 2;
}

bool parse_positive(const char* text, char stop, const char** end, int& value) {
  char* after = nullptr;
  errno = 0;
  const long v = std::strtol(text, &after, 10);
  if (after == text || *after != stop || errno != 0 || v <= 0 || v > 65535) return false;
  value = static_cast<int>(v);
  *end = after;
  return true;
}

bool parse_size(const char* text, int& width, int& height) {
  const char* rest = nullptr;
  if (text[0] < '0' || text[0] > '9') return false;
  if (!parse_positive(text, 'x', &rest, width)) return false;
  if (rest[1] < '0' || rest[1] > '9') return false;
  return parse_positive(rest + 1, '\0', &rest, height);
}

}  // namespace

int main(int argc, char** argv) {
  const char* input = nullptr;
  const char* output = nullptr;
  int width = 512, height = 96;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--size") == 0) {
      if (++i >= argc || !parse_size(argv[i], width, height)) return usage();
    } else if (std::strcmp(argv[i], "--out") == 0) {
      if (++i >= argc) return usage();
      output = argv[i];
    } else if (argv[i][0] == '-' || input) {
      return usage();
    } else {
      input = argv[i];
    }
  }
  if (!input) return usage();

  force_display_driver("Null");
  if (set_screen_mode(640, 480, 32, 2, 0xC0, 0) != 0) {
    std::fprintf(stderr, "bmp_dump: cannot open the screen\n");
    return 1;
  }
  Image image = create_image(width, height, 0, 0, IMAGE_DEFAULT_FILL);
  if (!image) {
    std::fprintf(stderr, "bmp_dump: cannot create a %dx%d image\n", width, height);
    return 1;
  }
  const int code = load_bmp(input, image, nullptr);
  std::printf("error %d\n", code);

  if (output) {
    const ImageView view = image_view(image, 4);
    std::FILE* file = std::fopen(output, "wb");
    bool ok = file != nullptr;
    for (int y = 0; ok && y < height; ++y) {
      const uint8_t* row = view.pixels + static_cast<ptrdiff_t>(y) * view.pitch;
      for (int x = 0; ok && x < width; ++x) {
        uint32_t word;
        std::memcpy(&word, row + 4 * x, 4);
        const uint8_t bytes[4] = {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8),
                                  static_cast<uint8_t>(word >> 16),
                                  static_cast<uint8_t>(word >> 24)};
        ok = std::fwrite(bytes, 1, 4, file) == 4;
      }
    }
    if (file && std::fclose(file) != 0) ok = false;
    if (!ok) {
      std::fprintf(stderr, "bmp_dump: cannot write %s\n", output);
      return 1;
    }
  }
  destroy_image(image);
  shutdown_screen();
  return 0;
}
