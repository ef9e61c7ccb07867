#include "gfx/bmp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

#include "gfx/bmp_writer.h"
#include "gfx/error.h"
#include "gfx/image.h"
#include "gfx/null_screen.h"
#include "gfx/screen.h"

namespace {

constexpr Color kMagenta = 0xFFFF00FF;

// Pixels that say where they are: indices into a full palette, 5-5-5 words whose channels are
// all or nothing, 24-bit colours, 32-bit words with a fourth byte.
uint32_t raw_rgb(int x, int r) {
  return (static_cast<uint32_t>(x) * 0x010203u + static_cast<uint32_t>(r) * 0x0B0705u) & 0xFFFFFF;
}
uint32_t palette_entry(uint32_t i) {
  return (i * 0x3F1D27u + 0x102030u) & 0xFFFFFF;
}

BmpFileSpec layout(uint32_t header, int bits, int width, int height) {
  BmpFileSpec f;
  f.header_size = header, f.width = width, f.height = height, f.bits = uint16_t(bits);
  for (uint32_t i = 0; bits <= 8 && i < (1u << bits); ++i) f.palette.push_back(palette_entry(i));
  f.pixel = [bits](int x, int r) {
    if (bits <= 8) return static_cast<uint32_t>(x * 7 + r * 3) % (1u << bits);
    if (bits == 16) return (x & 1) * 0x7C00u | (r & 1) * 0x3E0u | (x >> 1 & 1) * 0x1Fu;
    return (bits == 32 ? 0x80000000u : 0) | raw_rgb(x, r);
  };
  return f;
}
BmpFileSpec rgb24(int width, int height) {
  return layout(40, 24, width, height);
}

// What pixel x of stored row r of such a file loads as.
uint32_t loaded(const BmpFileSpec& f, int x, int r) {
  const uint32_t v = f.pixel(x, r);
  if (f.bits <= 8) return 0xFF000000u | f.palette[v];
  if (f.bits == 16)
    return 0xFF000000u | (v & 0x7C00 ? 0xFF0000 : 0) | (v & 0x3E0 ? 0xFF00 : 0) |
           (v & 0x1F ? 0xFF : 0);
  return f.bits == 24 ? 0xFF000000u | v : v;
}

class BmpLoad : public NullScreen {
 protected:
  void SetUp() override {
    NullScreen::SetUp();
    fresh_image();
  }
  void TearDown() override {
    destroy_image(image);
    NullScreen::TearDown();
  }
  void fresh_image() {
    destroy_image(image);
    image = create_image(512, 96, 0, 0, IMAGE_DEFAULT_FILL);
  }
  int load(const BmpFileSpec& spec, Image target = nullptr, uint8_t* palette = nullptr,
           size_t cut = 0) {
    bytes = encode_bmp(spec);
    return load_bmp_memory(bytes.data(), bytes.size() - cut, target ? target : image, palette);
  }
  // The image holds the file's picture (its first `kept` stored rows), magenta elsewhere.
  void expect_picture(const BmpFileSpec& f, int kept = INT_MAX) {
    const int rows = std::abs(f.height);
    for (int y = 0; y < 96; ++y) {
      for (int x = 0; x < 512; ++x) {
        const int r = f.height < 0 ? y : rows - 1 - y;
        const uint32_t want = x < f.width && y < rows && r < kept ? loaded(f, x, r) : kMagenta;
        ASSERT_EQ(image_pixel(image, x, y), want) << x << "," << y;
      }
    }
  }
  Image image = nullptr;
  std::vector<uint8_t> bytes;
};

TEST_F(BmpLoad, EveryLayoutLoadsAndShortFilesKeepTheirWholeRows) {
  // Rows are padded (checked on the writer's side, lest the loader be read against its mirror).
  EXPECT_EQ(bmp_row_bytes(3, 24), 12u);
  EXPECT_EQ(bmp_row_bytes(5, 4), 4u);
  EXPECT_EQ(encode_bmp(layout(40, 4, 5, 1))[54 + 64], 0x07);  // pixel 0 in the high nibble
  // Every header size and depth, bottom-up and top-down, rows padded, data offsets given or 0
  // (fifth field 1); a file larger than the image is clipped to it, a smaller one leaves magenta.
  // Files cut short by the last field's bytes (89: 5 of 8 rows whole) keep their whole rows; a
  // cut in a row the image never shows still makes a short file.
  const int cases[][6] = {
      {12, 4, 5, 3, 0, 0},    {16, 24, 3, 2, 0, 0},     {40, 1, 33, -2, 0, 0},
      {40, 4, 5, -3, 1, 0},   {40, 8, 9, 3, 0, 0},      {40, 16, 5, -3, 1, 0},
      {40, 24, 7, -5, 1, 0},  {40, 24, 600, 120, 0, 0}, {40, 32, 4, 2, 0, 0},
      {108, 24, 5, -2, 1, 0}, {40, 24, 10, 8, 0, 89},   {40, 24, 600, -120, 0, 1}};
  for (const auto& [header, bits, width, height, zero_offset, cut] : cases) {
    SCOPED_TRACE(testing::Message()
                 << header << ": " << bits << " bits, " << width << "x" << height);
    fresh_image();
    BmpFileSpec f = layout(header, bits, width, height);
    f.zero_data_offset = zero_offset;
    uint8_t palette[768] = {};
    ASSERT_EQ(load(f, nullptr, header == 12 ? palette : nullptr, cut), cut ? 3 : 0);
    const size_t row_bytes = bmp_row_bytes(width, bits);  // rows wholly in the file are kept
    expect_picture(f, std::abs(height) - static_cast<int>((cut + row_bytes - 1) / row_bytes));
    // The caller's palette gets 6-bit values (entry 15, 0xC2D579, as 0x30, 0x35, 0x1E); without
    // one the screen's palette gets all entries, used or not.
    EXPECT_EQ(palette[45] << 16 | palette[46] << 8 | palette[47], header == 12 ? 0x30351E : 0);
    if (bits == 8) {
      EXPECT_EQ(current_screen()->palette[255], 0xFF000000u | palette_entry(255));
    }
  }
}

TEST_F(BmpLoad, ChannelMasksAndAlpha) {
  struct Case {
    uint32_t header;
    int bits;
    uint32_t compression;
    std::vector<uint32_t> masks, stored, want;
  };
  const std::vector<uint32_t> swapped = {0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF};
  // clang-format off
  const Case cases[] = {
      // Without compression the fourth byte is alpha; three masks after a 40-byte header give 0.
      {40, 32, 0, {}, {0x80123456}, {0x80123456}},
      {40, 32, 3, {0xFF0000, 0xFF00, 0xFF}, {0x80123456}, {0x00123456}},
      // 10-10-10-2: wide channels drop their low bits, the 2-bit alpha is shifted up unrepeated.
      {108, 32, 3, {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000},
       {3u << 30 | 0x3FFu << 20 | 0x200u << 10 | 0x004u,
        1u << 30 | 0x001u << 20 | 0x0FFu << 10 | 0x3FCu}, {0xC0FF8001, 0x40003FFF}},
      // Masks of a long header count only with compression 3.
      {124, 32, 3, swapped, {0x11223344}, {0x44332211}},
      {124, 32, 0, swapped, {0x11223344}, {0x11223344}},
      // 5-5-5: each channel v becomes (v << 3) | (v >> 2); the top bit belongs to no channel.
      {40, 16, 0, {}, {0x7FFF, 1u << 10 | 16u << 5 | 30u, 0x8000},
       {0xFFFFFFFF, 0xFF0884F7, 0xFF000000}},
      {40, 16, 3, {0xF800, 0x07E0, 0x001F}, {0xFFFF, 31u << 11 | 33u << 5 | 1u},
       {0xFFFFFFFF, 0xFFFF8608}}
  };
  // clang-format on
  for (const Case& c : cases) {
    BmpFileSpec f = layout(c.header, c.bits, static_cast<int>(c.stored.size()), 1);
    f.compression = c.compression;
    f.masks = c.masks;
    f.pixel = [&c](int x, int) { return c.stored[static_cast<size_t>(x)]; };
    ASSERT_EQ(load(f), 0) << c.header << "/" << c.bits;
    for (int x = 0; x < f.width; ++x) EXPECT_EQ(image_pixel(image, x, 0), c.want[x]) << c.header;
  }
}

TEST_F(BmpLoad, HostileHeadersAreRejectedWithoutTouchingTheImage) {
  struct Patch {
    size_t at;
    uint32_t value;
    int size = 4;
  };
  struct Case {
    const char* what;
    std::function<void(BmpFileSpec&)> spec;
    std::vector<Patch> patches;
    size_t keep = SIZE_MAX;
  };
  const auto same = [](BmpFileSpec&) {};
  // clang-format off
  const Case cases[] = {
      {"gigantic", same, {{18, INT_MAX}, {22, INT_MAX}}}, {"offset in header", same, {{10, 20}}},
      {"offset past end", same, {{10, 0x7FFFFFF0}}}, {"negative width", same, {{18, 0xFFFFFFFC}}},
      {"zero width", same, {{18, 0}}}, {"zero height", same, {{22, 0}}},
      {"most negative height", same, {{22, 0x80000000u}}}, {"two planes", same, {{26, 2, 2}}},
      {"compression 4", same, {{30, 4}}}, {"33 bits", same, {{28, 33, 2}}},
      {"run-length", [](auto& f) { f = layout(40, 8, 4, 4), f.compression = 1; }, {}},
      {"2 bits", [](auto& f) { f.bits = 2, f.palette.assign(4, 0); }, {}},
      {"header size 11", same, {{14, 11}}}, {"header size 15", same, {{14, 15}}},
      {"header size past end", same, {{14, 0xFFFFFFF0u}}}, {"palette past end", same, {{28, 8, 2}}},
      {"masks missing", [](auto& f) { f.bits = 16, f.compression = 3; }, {{10, 0}}, 54}};
  // clang-format on
  for (const Case& c : cases) {
    BmpFileSpec f = rgb24(4, 4);
    c.spec(f);
    bytes = encode_bmp(f);
    bytes.resize(std::min(bytes.size(), c.keep));
    for (const Patch& p : c.patches) {
      for (int i = 0; i < p.size; ++i) bytes[p.at + i] = static_cast<uint8_t>(p.value >> (8 * i));
    }
    EXPECT_EQ(load_bmp_memory(bytes.data(), bytes.size(), image, nullptr), 3) << c.what;
    expect_picture(rgb24(0, 1));  // untouched
  }
  // Foreign or short input.
  EXPECT_EQ(load_bmp_memory(nullptr, 0, image, nullptr), 3);
  bytes = encode_bmp(rgb24(4, 4));
  for (size_t size : {17, 30, 53})
    EXPECT_EQ(load_bmp_memory(bytes.data(), size, image, nullptr), 3);
  bytes[1] = 'A';
  EXPECT_EQ(load_bmp_memory(bytes.data(), bytes.size(), image, nullptr), 3);
  expect_picture(rgb24(0, 1));  // untouched
}

// By name, onto the screen (clipped, marking the shown page), into 16-bit and 8-bit images.
TEST_F(BmpLoad, FilesScreenAndNarrowTargets) {
  const std::string path =
      testing::TempDir() + "/bmp_test_" + std::to_string(std::random_device()()) + ".bmp";
  bytes = encode_bmp(rgb24(30, 20));
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
  EXPECT_EQ(load_bmp(path.c_str(), image, nullptr), 0);
  EXPECT_EQ(image_pixel(image, 29, 0), 0xFF000000u | raw_rgb(29, 19));
  std::remove(path.c_str());
  EXPECT_EQ(load_bmp(path.c_str(), image, nullptr), 2);  // gone now
  EXPECT_EQ(last_error(), 2);

  clear_dirty();
  bytes = encode_bmp(rgb24(700, 3));
  ASSERT_EQ(load_bmp_memory(bytes.data(), bytes.size(), nullptr, nullptr), 0);
  expect_pixels({{639, 0, 0xFF000000u | raw_rgb(639, 2)},
                 {0, 2, 0xFF000000u | raw_rgb(0, 0)},
                 {0, 3, 0xFF000000u}});
  EXPECT_EQ(current_screen()->dirty_lines[479], 1);  // page 0 is shown: every line is marked

  Image wide16 = create_image(8, 2, 0, 16, 0), index8 = create_image(8, 2, 0, 8, 0);
  ASSERT_EQ(load(rgb24(8, 2), wide16), 0);
  EXPECT_EQ(image_pixel(wide16, 1, 0), fix_color(2, raw_rgb(1, 1)));
  ASSERT_EQ(load(layout(40, 8, 8, 2), index8), 0);
  EXPECT_EQ(image_pixel(index8, 5, 0), (5u * 7 + 3) % 256);
  // High-colour data cannot go into palette indices; the image stays as it was.
  EXPECT_EQ(load(rgb24(8, 2), index8), 1);
  EXPECT_EQ(image_pixel(index8, 5, 0), (5u * 7 + 3) % 256);
  destroy_image(wide16);
  destroy_image(index8);

  shutdown_screen();
  EXPECT_EQ(load_bmp_memory(bytes.data(), bytes.size(), nullptr, nullptr), 1);
  EXPECT_EQ(load_bmp("no-such-file.bmp", nullptr, nullptr), 1);
}

}  // namespace
