#include "intro/header_wobble.h"

#include <cmath>

#include "gfx/bmp.h"

Image HeaderImage = nullptr;
std::string HeaderFileName = HEADER_START_FILE_NAME;

namespace {
constexpr int kStripCount = 128;
constexpr int kFirstRow = 40;
}  // namespace

void load_header() {
  // Loading again (tests start the intro more than once) replaces the picture.
  if (HeaderImage) destroy_image(HeaderImage);
  HeaderImage = create_image(HEADER_WIDTH, HEADER_HEIGHT, 0, 0, IMAGE_DEFAULT_FILL);
  // Without an image the loader would draw onto the screen instead.
  if (HeaderImage) load_bmp(HeaderFileName.c_str(), HeaderImage, nullptr);
}

void draw_header_wobble(int32_t frame) {
  for (int i = 0; i < kStripCount; ++i) {
    // The phase wraps like the 32-bit frame counter instead of overflowing.
    const auto phase =
        static_cast<int32_t>(static_cast<uint32_t>(frame) + static_cast<uint32_t>(i));
    const float x = static_cast<float>(64.0 + 8.0 * std::sin(0.03 * phase));
    const auto y = static_cast<float>(kFirstRow + i);
    // Rows past the picture's last are clamped to it, repeating row 95 below the picture.
    put_image(nullptr, x, y, HeaderImage, 0, i, 512, i, 0, PUT_MODE_ALPHA, alpha_blit, -1, nullptr,
              nullptr);
  }
}
