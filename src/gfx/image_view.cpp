#include "gfx/image_view.h"

#include <cstring>

ImageView image_view(Image image, int screen_bytes_per_pixel) {
  auto* bytes = static_cast<uint8_t*>(image);
  uint32_t first;
  std::memcpy(&first, bytes, 4);
  if (first == IMAGE_TYPE) {
    ImageHeader header;
    std::memcpy(&header, bytes, sizeof header);
    return {bytes + sizeof(ImageHeader), header.bytes_per_pixel, static_cast<int>(header.width),
            static_cast<int>(header.height), static_cast<int>(header.pitch)};
  }
  int bpp = static_cast<int>(first & 7);
  if (bpp == 0) bpp = screen_bytes_per_pixel;
  const int width = static_cast<int>((first >> 3) & 0x1FFF);
  const int height = static_cast<int>(first >> 16);
  return {bytes + 4, bpp, width, height, width * bpp};
}
