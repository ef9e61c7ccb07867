#include "gfx/bmp.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/bmp_decode.h"
#include "gfx/draw_context.h"
#include "gfx/error.h"
#include "gfx/screen.h"
#include "gfx/write_rules.h"
#include "platform/data_file.h"

namespace {

constexpr size_t kMaxNameBytes = 259;

size_t read_file(void* handle, uint64_t offset, uint8_t* buffer, size_t count) {
  auto* file = static_cast<std::FILE*>(handle);
  if (offset > static_cast<uint64_t>(INT64_MAX)) return 0;
  if (fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0) return 0;
  return std::fread(buffer, 1, count, file);
}

// The file's length, or -1 when it cannot seek (a pipe, say).
int64_t file_size(std::FILE* file) {
  if (fseeko(file, 0, SEEK_END) != 0) return -1;
  const off_t end = ftello(file);
  if (end < 0 || fseeko(file, 0, SEEK_SET) != 0) return -1;
  return end;
}

int load_from_source(const BmpSource& source, Image target, uint8_t* palette_out) {
  DrawContext& ctx = draw_context();
  select_target(ctx, nullptr);
  select_write_rule(ctx, OPAQUE_BLACK);

  // 'B' starts a bitmap; the raw memory-image formats other leading bytes would select are not
  // read by this system.
  uint8_t first = 0;
  if (source.read(source.handle, 0, &first, 1) != 1 || first != 'B') {
    return set_last_error(ERROR_BAD_FILE_DATA);
  }
  Screen* screen = current_screen();
  if (!screen) return set_last_error(ERROR_ILLEGAL_CALL);

  BmpLayout layout;
  if (read_bmp_layout(source, layout) != 0) return set_last_error(ERROR_BAD_FILE_DATA);

  select_target(ctx, target);
  select_write_rule(ctx, OPAQUE_BLACK);
  BmpTarget destination{ctx.rows.data(), screen->width, screen->height, ctx.bytes_per_pixel,
                        screen->colour_mask};
  if (target) {
    const ImageView view = image_view(target, screen->bytes_per_pixel);
    destination.width = view.width;
    destination.height = view.height;
  }
  if (check_bmp_target(layout, ctx.bytes_per_pixel) != 0) {
    return set_last_error(ERROR_ILLEGAL_CALL);
  }

  lock_screen();
  for (int i = 0; i < layout.palette_entries; ++i) {
    const uint32_t rgb = layout.palette[i];
    if (palette_out) {
      palette_out[3 * i] = static_cast<uint8_t>((rgb >> 16) >> 2);
      palette_out[3 * i + 1] = static_cast<uint8_t>(((rgb >> 8) & 0xFF) >> 2);
      palette_out[3 * i + 2] = static_cast<uint8_t>((rgb & 0xFF) >> 2);
    } else {
      screen->palette[i] = COLOR_ALPHA | rgb;
    }
  }
  const int result = convert_bmp_rows(source, layout, destination);
  if (!target) mark_drawn_rows(ctx, 0, screen->height - 1);
  unlock_screen_only();
  return set_last_error(result);
}

}  // namespace

int load_bmp(const char* file_name, Image target, uint8_t* palette_out) {
  draw_context();
  if (!target && !current_screen()) return set_last_error(ERROR_ILLEGAL_CALL);
  if (!file_name) return set_last_error(ERROR_FILE_NOT_OPENABLE);
  // '/' is already the native separator here, so the name is only cut to its usable length.
  const std::string name(file_name, strnlen(file_name, kMaxNameBytes));
  // Directories, FIFOs and devices count as not openable; opening them never blocks.
  std::FILE* file = open_data_file(name.c_str(), MAX_BMP_FILE_BYTES, nullptr);
  if (!file) return set_last_error(ERROR_FILE_NOT_OPENABLE);

  int result;
  const int64_t size = file_size(file);
  if (size >= 0) {
    const BmpSource source{file, static_cast<uint64_t>(size), read_file};
    result = load_from_source(source, target, palette_out);
  } else {
    // Without seeking, take what the stream really holds.
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
      bytes.insert(bytes.end(), chunk, chunk + n);
    result = load_bmp_memory(bytes.data(), bytes.size(), target, palette_out);
  }
  std::fclose(file);
  return result;
}

int load_bmp_memory(const uint8_t* data, size_t size, Image target, uint8_t* palette_out) {
  draw_context();
  if (!target && !current_screen()) return set_last_error(ERROR_ILLEGAL_CALL);
  BmpMemory memory{data, data ? size : 0};
  return load_from_source(bmp_memory_source(memory), target, palette_out);
}
