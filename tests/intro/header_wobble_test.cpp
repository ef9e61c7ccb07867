#include "intro/header_wobble.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "gfx/bmp.h"
#include "gfx/bmp_writer.h"
#include "gfx/null_screen.h"

namespace {

constexpr uint32_t kBlack = 0xFF000000;

uint32_t on_black(uint32_t s) {
  return blend_pixel(s, kBlack, s >> 24);
}

uint32_t image_pixel(Image image, int x, int y) {
  const ImageView v = image_view(image, 4);
  return reinterpret_cast<const uint32_t*>(v.pixels + static_cast<ptrdiff_t>(y) * v.pitch)[x];
}

class HeaderWobble : public NullScreen {
 protected:
  void SetUp() override {
    NullScreen::SetUp();
    dir = std::filesystem::temp_directory_path() / ("wobble_test_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    HeaderFileName = (dir / "missing.bmp").string();
  }
  void TearDown() override {
    destroy_image(HeaderImage);
    HeaderImage = nullptr;
    HeaderFileName = "header.bmp";
    std::filesystem::remove_all(dir);
    NullScreen::TearDown();
  }
  // First and last column of row y that the picture changed; -1, -1 when none.
  static std::pair<int, int> drawn_span(int y) {
    int first = -1, last = -1;
    for (int x = 0; x < 640; ++x) {
      if (pixel(0, x, y) != kBlack) {
        if (first < 0) first = x;
        last = x;
      }
    }
    return {first, last};
  }
  std::filesystem::path dir;
};

TEST_F(HeaderWobble, WithoutTheFileAMagentaBlockWaves) {
  load_header();
  ASSERT_NE(HeaderImage, nullptr);
  EXPECT_EQ(image_pixel(HeaderImage, 511, 95), 0xFFFF00FFu);
  draw_header_wobble(0);
  // Strip 0 sits at the centre, strip 52 at the crest of the wave (sin 1.56 ~ 0.99994).
  EXPECT_EQ(drawn_span(40), std::make_pair(64, 575));
  EXPECT_EQ(drawn_span(92), std::make_pair(72, 583));
  EXPECT_EQ(pixel(0, 64, 40), on_black(0xFFFF00FF));
  EXPECT_EQ(drawn_span(39), std::make_pair(-1, -1));
  for (int y = 40; y <= 167; ++y) EXPECT_NE(drawn_span(y).first, -1) << y;
  EXPECT_EQ(drawn_span(168), std::make_pair(-1, -1));
}

TEST_F(HeaderWobble, PhaseFollowsTheFrameAndWraps) {
  load_header();
  draw_header_wobble(-52);  // strip 0 in the trough
  EXPECT_EQ(drawn_span(40), std::make_pair(56, 567));
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) set_pixel(0, x, y, kBlack);
  }
  // Near the counter's end the phase wraps instead of overflowing; all 128 strips still land.
  draw_header_wobble(INT_MAX);
  for (int y = 40; y <= 167; ++y) EXPECT_EQ(drawn_span(y).second - drawn_span(y).first, 511) << y;
  EXPECT_EQ(drawn_span(168), std::make_pair(-1, -1));
}

TEST_F(HeaderWobble, LastRowRepeatsBelowThePicture) {
  BmpFileSpec f;
  f.width = 512;
  f.height = 96;
  f.bits = 24;
  f.pixel = [](int x, int r) {
    return static_cast<uint32_t>((r * 2 + 1) << 16 | (x & 0xFF) << 8 | 0x80);
  };
  HeaderFileName = (dir / "rows.bmp").string();
  ASSERT_TRUE(write_file(HeaderFileName, encode_bmp(f)));
  load_header();
  draw_header_wobble(0);
  for (int i = 0; i < 128; ++i) {
    const int y = 40 + i;
    const int left = drawn_span(y).first;
    ASSERT_GE(left, 56) << i;
    const int row = i < 96 ? i : 95;
    // Picture row `row` is stored row 95 - row of the bottom-up file.
    for (int x : {0, 200, 511}) {
      EXPECT_EQ(pixel(0, left + x, y), on_black(0xFF000000u | f.pixel(x, 95 - row))) << i;
    }
  }
}

TEST_F(HeaderWobble, TransparentPixelsLeaveThePage) {
  // Compression 3 with only three masks: every pixel loads with alpha 0.
  BmpFileSpec f;
  f.width = 512;
  f.height = 96;
  f.bits = 32;
  f.compression = 3;
  f.masks = {0xFF0000, 0xFF00, 0xFF};
  f.pixel = [](int, int) { return 0xFFFFFFFFu; };
  HeaderFileName = (dir / "clear.bmp").string();
  ASSERT_TRUE(write_file(HeaderFileName, encode_bmp(f)));
  load_header();
  EXPECT_EQ(image_pixel(HeaderImage, 5, 5), 0x00FFFFFFu);
  draw_header_wobble(7);
  for (int y = 30; y < 180; ++y) EXPECT_EQ(drawn_span(y).first, -1) << y;
}

TEST_F(HeaderWobble, ShippedPictureLoadsWithRealAlpha) {
  HeaderFileName = "../../data/header.bmp";
  Image image = create_image(512, 96, 0, 0, IMAGE_DEFAULT_FILL);
  ASSERT_EQ(load_bmp(HeaderFileName.c_str(), image, nullptr), 0);
  int clear = 0, opaque = 0, partial = 0;
  for (int y = 0; y < 96; ++y) {
    for (int x = 0; x < 512; ++x) {
      const uint32_t a = image_pixel(image, x, y) >> 24;
      (a == 0 ? clear : a == 0xFF ? opaque : partial)++;
    }
  }
  // Gaps for the stars, solid title, translucent band: a real picture, not a fill.
  EXPECT_GT(clear, 512 * 96 / 10);
  EXPECT_GT(opaque, 512 * 96 / 10);
  EXPECT_GT(partial, 512 * 96 / 10);
  destroy_image(image);
}

}  // namespace
