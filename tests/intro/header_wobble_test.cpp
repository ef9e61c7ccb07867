#include "intro/header_wobble.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "gfx/bmp_writer.h"
#include "gfx/null_screen.h"
#include "gfx/primitives.h"
#include "intro/sequencer.h"

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
    file = std::filesystem::temp_directory_path() / ("wobble_" + std::to_string(getpid()) + ".bmp");
    HeaderFileName = file.string();  // not there until a test writes it
  }
  void TearDown() override {
    reset_intro();
    std::filesystem::remove(file);
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
  void load_file(const BmpFileSpec& f) {
    ASSERT_TRUE(write_file(file.string(), encode_bmp(f)));
    load_header();
  }
  static void clear_page() {
    draw_line(nullptr, 0.0f, 0.0f, 640.0f, 480.0f, kBlack, LINE_KIND_FILLED_BOX, 0xFFFF, 0);
  }
  std::filesystem::path file;
};

TEST_F(HeaderWobble, WithoutTheFileAMagentaBlockWavesWithTheFrame) {
  load_header();
  ASSERT_NE(HeaderImage, nullptr);
  EXPECT_EQ(image_pixel(HeaderImage, 511, 95), 0xFFFF00FFu);
  draw_header_wobble(0);
  // Strip 0 sits at the centre, strip 52 at the crest of the wave (sin 1.56 ~ 0.99994).
  EXPECT_EQ(drawn_span(40), std::make_pair(64, 575));
  EXPECT_EQ(drawn_span(92), std::make_pair(72, 583));
  EXPECT_EQ(pixel(0, 64, 40), on_black(0xFFFF00FF));
  EXPECT_EQ(drawn_span(39), std::make_pair(-1, -1));
  EXPECT_EQ(drawn_span(168), std::make_pair(-1, -1));
  clear_page();
  draw_header_wobble(-52);  // strip 0 in the trough
  EXPECT_EQ(drawn_span(40), std::make_pair(56, 567));
  clear_page();
  // Near the counter's end the phase wraps instead of overflowing; all 128 strips still land.
  draw_header_wobble(INT_MAX);
  for (int y = 40; y <= 167; ++y) EXPECT_EQ(drawn_span(y).second - drawn_span(y).first, 511) << y;
  EXPECT_EQ(drawn_span(168), std::make_pair(-1, -1));
}

TEST_F(HeaderWobble, LastRowRepeatsBelowThePictureAndClearPixelsLeaveThePage) {
  BmpFileSpec f;
  f.width = 512;
  f.height = 96;
  f.pixel = [](int x, int r) {
    return static_cast<uint32_t>((r * 2 + 1) << 16 | (x & 0xFF) << 8 | 0x80);
  };
  load_file(f);
  draw_header_wobble(0);
  for (int i = 0; i < 128; ++i) {
    const int left = drawn_span(40 + i).first;
    ASSERT_GE(left, 56) << i;
    // Picture row `row` is stored row 95 - row of the bottom-up file.
    const int row = i < 96 ? i : 95;
    for (int x : {0, 200, 511}) {
      EXPECT_EQ(pixel(0, left + x, 40 + i), on_black(0xFF000000u | f.pixel(x, 95 - row))) << i;
    }
  }
  // Compression 3 with only three masks: every pixel loads with alpha 0 and draws nothing.
  f.bits = 32;
  f.compression = 3;
  f.masks = {0xFF0000, 0xFF00, 0xFF};
  f.pixel = [](int, int) { return 0xFFFFFFFFu; };
  load_file(f);
  EXPECT_EQ(image_pixel(HeaderImage, 5, 5), 0x00FFFFFFu);
  clear_page();
  draw_header_wobble(7);
  for (int y = 30; y < 180; ++y) EXPECT_EQ(drawn_span(y).first, -1) << y;
}

}  // namespace
