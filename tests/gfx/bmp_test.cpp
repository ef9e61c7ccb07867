#include "gfx/bmp.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>

#include "gfx/bmp_decode.h"
#include "gfx/bmp_writer.h"
#include "gfx/error.h"
#include "gfx/null_screen.h"
#include "gfx/screen.h"

namespace {

constexpr Color kMagenta = 0xFFFF00FF;

uint32_t pixel_at(Image image, int x, int y) {
  const ImageView v = image_view(image, 4);
  uint32_t word = 0;
  std::memcpy(&word, v.pixels + static_cast<ptrdiff_t>(y) * v.pitch + x * v.bytes_per_pixel,
              static_cast<size_t>(v.bytes_per_pixel));
  return word;
}

// A colour that differs for every pixel of a file up to 4096 wide.
uint32_t raw_rgb(int x, int r) {
  return (static_cast<uint32_t>(x) * 0x010203u + static_cast<uint32_t>(r) * 0x0B0705u) & 0xFFFFFF;
}

class BmpLoad : public NullScreen {
 protected:
  void SetUp() override {
    NullScreen::SetUp();
    image = create_image(512, 96, 0, 0, IMAGE_DEFAULT_FILL);
    ASSERT_NE(image, nullptr);
  }
  void TearDown() override {
    destroy_image(image);
    NullScreen::TearDown();
  }
  int load(const BmpFileSpec& spec, Image target = nullptr, uint8_t* palette = nullptr) {
    bytes = encode_bmp(spec);
    return load_bmp_memory(bytes.data(), bytes.size(), target ? target : image, palette);
  }
  void expect_untouched() {
    for (int y = 0; y < 96; ++y) {
      for (int x = 0; x < 512; ++x) ASSERT_EQ(pixel_at(image, x, y), kMagenta) << x << "," << y;
    }
  }
  Image image = nullptr;
  std::vector<uint8_t> bytes;
};

BmpFileSpec rgb24(int width, int height) {
  BmpFileSpec f;
  f.width = width;
  f.height = height;
  f.bits = 24;
  f.pixel = raw_rgb;
  return f;
}

TEST_F(BmpLoad, BottomUpFileOfImageSizeFillsItWithLastStoredRowOnTop) {
  ASSERT_EQ(load(rgb24(512, 96)), 0);
  EXPECT_EQ(last_error(), 0);
  for (int y = 0; y < 96; ++y) {
    for (int x = 0; x < 512; ++x) {
      ASSERT_EQ(pixel_at(image, x, y), 0xFF000000u | raw_rgb(x, 95 - y)) << x << "," << y;
    }
  }
}

TEST_F(BmpLoad, LargerFileIsClippedToItsTopLeft) {
  ASSERT_EQ(load(rgb24(600, 120)), 0);
  for (int y = 0; y < 96; ++y) {
    for (int x = 0; x < 512; ++x)
      ASSERT_EQ(pixel_at(image, x, y), 0xFF000000u | raw_rgb(x, 119 - y));
  }
}

TEST_F(BmpLoad, SmallerFileLeavesTheRestOfTheFill) {
  ASSERT_EQ(load(rgb24(400, 50)), 0);
  for (int y = 0; y < 96; ++y) {
    for (int x = 0; x < 512; ++x) {
      const Color want = (x < 400 && y < 50) ? 0xFF000000u | raw_rgb(x, 49 - y) : kMagenta;
      ASSERT_EQ(pixel_at(image, x, y), want) << x << "," << y;
    }
  }
}

TEST_F(BmpLoad, TopDownRowsAndZeroDataOffset) {
  BmpFileSpec f = rgb24(7, -5);
  f.zero_data_offset = true;
  ASSERT_EQ(load(f), 0);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 7; ++x) EXPECT_EQ(pixel_at(image, x, y), 0xFF000000u | raw_rgb(x, y));
  }
  EXPECT_EQ(pixel_at(image, 7, 0), kMagenta);
  EXPECT_EQ(pixel_at(image, 0, 5), kMagenta);
}

TEST_F(BmpLoad, ThirtyTwoBitAlphaDependsOnTheMasks) {
  BmpFileSpec f;
  f.width = 4;
  f.height = 2;
  f.bits = 32;
  f.pixel = [](int x, int r) { return 0x80000000u | raw_rgb(x, r); };
  // Compression 0: default masks, the fourth byte is alpha.
  ASSERT_EQ(load(f), 0);
  EXPECT_EQ(pixel_at(image, 3, 0), 0x80000000u | raw_rgb(3, 1));
  // Compression 3 with a 40-byte header: three masks only, alpha 0.
  f.compression = 3;
  f.masks = {0xFF0000, 0xFF00, 0xFF};
  ASSERT_EQ(load(f), 0);
  EXPECT_EQ(pixel_at(image, 3, 0), raw_rgb(3, 1));
  EXPECT_EQ(pixel_at(image, 0, 1), raw_rgb(0, 0));
}

TEST_F(BmpLoad, HeaderMasksOfLongHeadersIncludingWideAndNarrowChannels) {
  // 10-10-10-2: wide channels drop their low bits, the 2-bit alpha is shifted up unrepeated.
  BmpFileSpec f;
  f.header_size = 108;
  f.width = 2;
  f.height = 1;
  f.bits = 32;
  f.compression = 3;
  f.masks = {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000};
  f.pixel = [](int x, int) {
    return x == 0 ? (3u << 30) | (0x3FFu << 20) | (0x200u << 10) | 0x004u
                  : (1u << 30) | (0x001u << 20) | (0x0FFu << 10) | 0x3FCu;
  };
  ASSERT_EQ(load(f), 0);
  EXPECT_EQ(pixel_at(image, 0, 0), 0xC0FF8001u);
  EXPECT_EQ(pixel_at(image, 1, 0), 0x40003FFFu);
  // A 124-byte header with byte-swapped masks.
  f.header_size = 124;
  f.masks = {0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF};
  f.pixel = [](int, int) { return 0x11223344u; };
  ASSERT_EQ(load(f), 0);
  EXPECT_EQ(pixel_at(image, 0, 0), 0x44332211u);
  // Without compression 3 a long header's masks are ignored.
  f.compression = 0;
  ASSERT_EQ(load(f), 0);
  EXPECT_EQ(pixel_at(image, 0, 0), 0x11223344u);
}

TEST_F(BmpLoad, SixteenBitChannelsExpand) {
  BmpFileSpec f;
  f.width = 3;
  f.height = 1;
  f.bits = 16;
  // 5-5-5: each channel v becomes (v << 3) | (v >> 2).
  f.pixel = [](int x, int) {
    const uint32_t words[] = {0x7FFF, (1u << 10) | (16u << 5) | 30u, 0x8000};
    return words[x];
  };
  ASSERT_EQ(load(f), 0);
  EXPECT_EQ(pixel_at(image, 0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(pixel_at(image, 1, 0), 0xFF0884F7u);
  EXPECT_EQ(pixel_at(image, 2, 0), 0xFF000000u);  // the top bit belongs to no channel
  // 5-6-5 through three masks after the header; 32-bit-style width rows of 3 words pad to 8.
  f.compression = 3;
  f.masks = {0xF800, 0x07E0, 0x001F};
  f.pixel = [](int x, int) { return x == 0 ? 0xFFFFu : (31u << 11) | (33u << 5) | 1u; };
  ASSERT_EQ(load(f), 0);
  EXPECT_EQ(pixel_at(image, 0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(pixel_at(image, 1, 0), 0xFFFF8608u);
}

TEST_F(BmpLoad, RowPaddingOfOddWidths) {
  // 24-bit width 3: 9 bytes padded to 12; 4-bit width 5: 3 bytes and 1 padding byte.
  ASSERT_EQ(load(rgb24(3, 4)), 0);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(pixel_at(image, x, y), 0xFF000000u | raw_rgb(x, 3 - y));
  }
  ASSERT_EQ(bytes.size(), 54u + 4 * 12);

  BmpFileSpec f;
  f.width = 5;
  f.height = 3;
  f.bits = 4;
  for (uint32_t i = 0; i < 16; ++i) f.palette.push_back(i * 0x111111u);
  f.pixel = [](int x, int r) { return static_cast<uint32_t>(x + 5 * r) & 15; };
  ASSERT_EQ(load(f), 0);
  ASSERT_EQ(bytes.size(), 54u + 64 + 3 * 4);
  // Pixel 0 is the high nibble of the row's first byte.
  EXPECT_EQ(bytes[54 + 64], 0x01);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(pixel_at(image, x, y), 0xFF000000u | (((x + 5 * (2 - y)) & 15) * 0x111111u));
    }
  }
}

TEST_F(BmpLoad, PalettesOfCoreAndInfoHeaders) {
  // 12-byte header: 3-byte palette entries, 16-bit sizes.
  BmpFileSpec f;
  f.header_size = 12;
  f.width = 13;
  f.height = 2;
  f.bits = 1;
  f.palette = {0x102030, 0xA0B0C0};
  f.pixel = [](int x, int r) { return static_cast<uint32_t>((x + r) % 3 == 0); };
  uint8_t palette[768] = {};
  ASSERT_EQ(load(f, nullptr, palette), 0);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 13; ++x) {
      EXPECT_EQ(pixel_at(image, x, y), (x + 1 - y) % 3 == 0 ? 0xFFA0B0C0u : 0xFF102030u);
    }
  }
  const uint8_t want[6] = {0x10 >> 2, 0x20 >> 2, 0x30 >> 2, 0xA0 >> 2, 0xB0 >> 2, 0xC0 >> 2};
  EXPECT_EQ(std::memcmp(palette, want, 6), 0);

  // 8-bit with a 40-byte header: every one of the 256 entries is read even if fewer are used.
  f = BmpFileSpec{};
  f.width = 5;
  f.height = 1;
  f.bits = 8;
  for (uint32_t i = 0; i < 256; ++i) f.palette.push_back(i << 8 | (255 - i));
  f.pixel = [](int x, int) { return static_cast<uint32_t>(x * 60); };
  ASSERT_EQ(load(f), 0);
  for (int x = 0; x < 5; ++x)
    EXPECT_EQ(pixel_at(image, x, 0), 0xFF000000u | (x * 60u) << 8 | (255 - x * 60u));
  EXPECT_EQ(current_screen()->palette[240], 0xFF000000u | 240u << 8 | 15u);
}

TEST_F(BmpLoad, TruncatedFileKeepsConvertedRows) {
  BmpFileSpec f = rgb24(10, 8);
  bytes = encode_bmp(f);
  // Five complete stored rows and part of the sixth.
  const size_t size = 54 + 5 * 32 + 7;
  ASSERT_EQ(load_bmp_memory(bytes.data(), size, image, nullptr), 3);
  EXPECT_EQ(last_error(), 3);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 10; ++x) {
      const int stored = 7 - y;
      EXPECT_EQ(pixel_at(image, x, y), stored < 5 ? 0xFF000000u | raw_rgb(x, stored) : kMagenta)
          << y;
    }
  }
}

void patch(std::vector<uint8_t>& bytes, size_t offset, uint32_t value, int size = 4) {
  for (int i = 0; i < size; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

TEST_F(BmpLoad, HostileHeadersAreRejectedWithoutTouchingTheImage) {
  struct Case {
    const char* what;
    std::function<void(BmpFileSpec&)> spec;
    std::function<void(std::vector<uint8_t>&)> bytes;
  };
  const auto same = [](BmpFileSpec&) {};
  const auto as_is = [](std::vector<uint8_t>&) {};
  const Case cases[] = {
      {"gigantic", same,
       [](auto& b) {
         patch(b, 18, INT_MAX);
         patch(b, 22, INT_MAX);
       }},
      {"gigantic top-down", same,
       [](auto& b) {
         patch(b, 18, 1u << 30);
         patch(b, 22, static_cast<uint32_t>(-INT_MAX));
       }},
      {"offset past end", [](auto& f) { f.data_offset_override = 0x7FFFFFF0; }, as_is},
      {"offset in header", [](auto& f) { f.data_offset_override = 20; }, as_is},
      {"negative width", same, [](auto& b) { patch(b, 18, static_cast<uint32_t>(-4)); }},
      {"zero width", same, [](auto& b) { patch(b, 18, 0); }},
      {"zero height", same, [](auto& b) { patch(b, 22, 0); }},
      {"most negative height", same, [](auto& b) { patch(b, 22, 0x80000000u); }},
      {"two planes", [](auto& f) { f.planes = 2; }, as_is},
      {"compression 4", [](auto& f) { f.compression = 4; }, as_is},
      {"run-length",
       [](auto& f) {
         f.bits = 8;
         f.compression = 1;
         f.palette.assign(256, 0);
       },
       as_is},
      {"top-down run-length",
       [](auto& f) {
         f.height = -4;
         f.compression = 2;
       },
       as_is},
      {"0 bits", same, [](auto& b) { patch(b, 28, 0, 2); }},
      {"2 bits",
       [](auto& f) {
         f.bits = 2;
         f.palette.assign(4, 0);
       },
       as_is},
      {"3 bits", same, [](auto& b) { patch(b, 28, 3, 2); }},
      {"33 bits", same, [](auto& b) { patch(b, 28, 33, 2); }},
      {"65535 bits", same, [](auto& b) { patch(b, 28, 65535, 2); }},
      {"header size 0", same, [](auto& b) { patch(b, 14, 0); }},
      {"header size 11", same, [](auto& b) { patch(b, 14, 11); }},
      {"header size 15", same, [](auto& b) { patch(b, 14, 15); }},
      {"header size past end", same, [](auto& b) { patch(b, 14, 0xFFFFFFF0u); }},
      {"palette past end", same, [](auto& b) { patch(b, 28, 8, 2); }},
      {"masks missing",
       [](auto& f) {
         f.bits = 16;
         f.compression = 3;
       },
       [](auto& b) {
         b.resize(54);
         patch(b, 10, 0);
       }},
  };
  for (const Case& c : cases) {
    BmpFileSpec f = rgb24(4, 4);
    c.spec(f);
    bytes = encode_bmp(f);
    c.bytes(bytes);
    EXPECT_EQ(load_bmp_memory(bytes.data(), bytes.size(), image, nullptr), 3) << c.what;
    expect_untouched();
  }
}

TEST_F(BmpLoad, ShortOrForeignInputs) {
  const uint8_t not_bitmap[] = {'X', 'M', 0, 0};
  EXPECT_EQ(load_bmp_memory(not_bitmap, sizeof not_bitmap, image, nullptr), 3);
  EXPECT_EQ(load_bmp_memory(nullptr, 0, image, nullptr), 3);
  bytes = encode_bmp(rgb24(4, 4));
  for (size_t size : {size_t{1}, size_t{2}, size_t{17}, size_t{30}, size_t{53}}) {
    EXPECT_EQ(load_bmp_memory(bytes.data(), size, image, nullptr), 3) << size;
  }
  bytes[1] = 'A';
  EXPECT_EQ(load_bmp_memory(bytes.data(), bytes.size(), image, nullptr), 3);
  expect_untouched();
}

TEST_F(BmpLoad, FilesByNameAndTheirErrors) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("bmp_test_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "picture.bmp").string();
  ASSERT_TRUE(write_file(path, encode_bmp(rgb24(30, 20))));
  EXPECT_EQ(load_bmp(path.c_str(), image, nullptr), 0);
  EXPECT_EQ(pixel_at(image, 29, 0), 0xFF000000u | raw_rgb(29, 19));
  EXPECT_EQ(load_bmp((dir / "missing.bmp").string().c_str(), image, nullptr), 2);
  EXPECT_EQ(last_error(), 2);
  EXPECT_EQ(load_bmp(dir.string().c_str(), image, nullptr), 3);  // a directory reads as nothing
  std::filesystem::remove_all(dir);
}

TEST_F(BmpLoad, ScreenTargetAndNoScreen) {
  Screen* screen = current_screen();
  std::fill(screen->dirty_lines.begin(), screen->dirty_lines.end(), 0);
  bytes = encode_bmp(rgb24(700, 3));
  ASSERT_EQ(load_bmp_memory(bytes.data(), bytes.size(), nullptr, nullptr), 0);
  const auto* page = reinterpret_cast<const uint32_t*>(screen->pages[0]);
  EXPECT_EQ(page[639], 0xFF000000u | raw_rgb(639, 2));
  EXPECT_EQ(page[2 * 640], 0xFF000000u | raw_rgb(0, 0));
  EXPECT_EQ(page[3 * 640], 0xFF000000u);
  EXPECT_EQ(screen->dirty_lines[479], 1);  // page 0 is shown: every line is marked

  shutdown_screen();
  EXPECT_EQ(load_bmp_memory(bytes.data(), bytes.size(), nullptr, nullptr), 1);
  EXPECT_EQ(load_bmp("no-such-file.bmp", nullptr, nullptr), 1);
  ASSERT_EQ(set_screen_mode(640, 480, 32, 2, 0xC0, 0), 0);
  destroy_image(image);
  image = create_image(512, 96, 0, 0, IMAGE_DEFAULT_FILL);
}

TEST_F(BmpLoad, NarrowTargets) {
  Image wide16 = create_image(8, 2, 0, 16, 0);
  Image index8 = create_image(8, 2, 0, 8, 0);
  ASSERT_EQ(load(rgb24(8, 2), wide16), 0);
  EXPECT_EQ(pixel_at(wide16, 1, 0), fix_color(2, raw_rgb(1, 1)));

  BmpFileSpec f;
  f.width = 8;
  f.height = 2;
  f.bits = 8;
  f.palette.assign(256, 0x123456);
  f.pixel = [](int x, int r) { return static_cast<uint32_t>(x * 31 + r); };
  ASSERT_EQ(load(f, index8), 0);
  EXPECT_EQ(pixel_at(index8, 5, 0), 5u * 31 + 1);
  // High-colour data cannot go into palette indices; the image stays as it was.
  EXPECT_EQ(load(rgb24(8, 2), index8), 1);
  EXPECT_EQ(pixel_at(index8, 5, 0), 5u * 31 + 1);
  destroy_image(wide16);
  destroy_image(index8);
}

TEST(BmpDecode, ChannelExpansion) {
  EXPECT_EQ(expand_channel(31, 5), 255u);
  EXPECT_EQ(expand_channel(16, 5), 0x84u);
  EXPECT_EQ(expand_channel(63, 6), 255u);
  EXPECT_EQ(expand_channel(0xF, 4), 0xFFu);
  EXPECT_EQ(expand_channel(0x3FF, 10), 0xFFu);
  EXPECT_EQ(expand_channel(1, 1), 0x80u);
  EXPECT_EQ(expand_channel(3, 3), 0x60u);
  EXPECT_EQ(expand_channel(0, 0), 0u);
}

TEST(BmpDecode, HugeClaimsReadOnlyWhatTheTargetNeeds) {
  // A wide, tall file whose rows are all present but far wider than the target.
  BmpFileSpec f;
  f.width = 3000;
  f.height = -3;
  f.bits = 32;
  f.pixel = [](int x, int r) { return static_cast<uint32_t>(x + r * 3000); };
  std::vector<uint8_t> file = encode_bmp(f);
  BmpMemory memory{file.data(), file.size()};
  const BmpSource source = bmp_memory_source(memory);
  BmpLayout layout;
  ASSERT_EQ(read_bmp_layout(source, layout), 0);
  EXPECT_EQ(layout.row_stride, 12000u);
  uint32_t pixels[2][4] = {};
  uint8_t* rows[2] = {reinterpret_cast<uint8_t*>(pixels[0]), reinterpret_cast<uint8_t*>(pixels[1])};
  const BmpTarget target{rows, 4, 2, 4, 0xFFFFFFFF};
  EXPECT_EQ(convert_bmp_rows(source, layout, target), 0);
  EXPECT_EQ(pixels[1][3], 3003u);
  // Truncating the third row, which the target never shows, still reports the short file.
  memory.size -= 1;
  const BmpSource shorter = bmp_memory_source(memory);
  EXPECT_EQ(convert_bmp_rows(shorter, layout, target), 3);
  EXPECT_EQ(pixels[1][3], 3003u);
}

}  // namespace
