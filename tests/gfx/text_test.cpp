#include "gfx/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "gfx/image.h"
#include "gfx/null_screen.h"
#include "gfx/screen.h"

namespace {

constexpr Color kWhite = 0xFFFFFFFF;
constexpr Color kBlack = 0xFF000000;
constexpr int kScroller = static_cast<int>(0x80000004u);  // foreground colour, absolute
constexpr char kTriangle = '\xFE';

class TextTest : public NullScreen {
 protected:
  void SetUp() override {
    NullScreen::SetUp();
    // A glyph that tells rows and columns apart: row r lights columns 0..r.
    for (int r = 0; r < 8; ++r) font_storage()[8 * 0xFE + r] = static_cast<uint8_t>((2 << r) - 1);
  }
  // Every pixel of page 0 after drawing the text at (px, py) on a fresh page: glyph bits, the
  // lowest bit leftmost, white where they fall on the page, all else black.
  static void expect_text_at(const std::string& text, int px, int py) {
    ASSERT_EQ(set_screen_mode(640, 480, 32, 2, 0xC0, 0), 0);
    ASSERT_EQ(
        draw_text(nullptr, static_cast<float>(px), static_cast<float>(py), kScroller, text, 0), 0);
    const uint8_t* font = font_storage();
    for (int y = 0; y < 480; ++y) {
      for (int x = 0; x < 640; ++x) {
        const int k = (x - px) >> 3, r = y - py;
        const bool lit = k >= 0 && k < static_cast<int>(text.size()) && r >= 0 && r < 8 &&
                         (font[8 * static_cast<uint8_t>(text[k]) + r] >> ((x - px) & 7) & 1);
        ASSERT_EQ(pixel(0, x, y), lit ? kWhite : kBlack) << x << "," << y;
      }
    }
  }
};

TEST_F(TextTest, GlyphsAreClippedAtThePageEdges) {
  // A glyph cut on each side or wholly outside; strings lose whole characters outside the page.
  const std::string glyph(1, kTriangle), text = std::string("AB\xDB") + kTriangle + "CD";
  const std::tuple<std::string, int, int> cases[] = {
      {glyph, 0, 0},    {glyph, -3, -5}, {glyph, 636, 476}, {glyph, -8, 0},  {glyph, 640, 0},
      {glyph, 300, -8}, {glyph, 0, 480}, {text, -13, 30},   {text, 615, 30}, {text, 639, 30}};
  for (const auto& [what, x, y] : cases) {
    SCOPED_TRACE(testing::Message() << what.size() << " at " << x << "," << y);
    expect_text_at(what, x, y);
  }
  // Spelled out once: at x = -3 row 3 (0x0F) shows only its column 3, at x = 0.
  draw_text(nullptr, -3, 0, kScroller, glyph, 0);
  expect_pixels({{0, 3, kWhite}, {1, 3, kBlack}});
}

TEST_F(TextTest, MarksOnlyTheDrawnRowsOfTheShownPage) {
  clear_dirty();
  draw_text(nullptr, 10, 476, kScroller, std::string(1, kTriangle), 0);
  for (int y = 0; y < 480; ++y) EXPECT_EQ(current_screen()->dirty_lines[y], y >= 476 ? 1 : 0) << y;
  // Neither an image target nor page 0 while page 1 is shown marks anything.
  clear_dirty();
  Image image = create_image(12, 6, kBlack, 32, 0);
  draw_text(image, 4, -2, kScroller, "\xDB", 0);  // cut to columns 0..7 of x 4..11, rows 2..7
  std::vector<Color> last_row(12, kWhite);
  std::fill_n(last_row.begin(), 4, kBlack);
  EXPECT_EQ(image_row(image, 5), last_row);
  destroy_image(image);
  set_pages(0, 1);
  clear_dirty();
  draw_text(nullptr, 10, 100, kScroller, "\xDB", 0);  // the screen is the target again
  EXPECT_EQ(pixel(0, 10, 100), kWhite);
  EXPECT_EQ(dirty_count(), 0);
}

TEST_F(TextTest, ColoursBlanksAndMissingText) {
  // Blank glyphs and empty strings leave the page alone.
  draw_text(nullptr, 50, 50, kScroller, "   ", 0);
  draw_text(nullptr, 50, 50, kScroller, "", 0);
  for (int y = 50; y < 58; ++y)
    for (int x = 50; x < 74; ++x) ASSERT_EQ(pixel(0, x, y), kBlack) << x << "," << y;
  // An opaque colour is stored as it is, a translucent one blended over the page.
  draw_text(nullptr, 0, 0, 0, "\xDB", 0xFF204060);
  draw_text(nullptr, 8, 0, 0, "\xDB", 0x80FFFFFF);
  expect_pixels({{3, 3, 0xFF204060u}, {11, 3, 0xBF7F7F7Fu}});
  EXPECT_EQ(
      draw_text(nullptr, 0, 0, kScroller, nullptr, 3, 0, nullptr, 0, nullptr, nullptr, nullptr), 1);
  shutdown_screen();
  EXPECT_EQ(draw_text(nullptr, 0, 0, kScroller, "A", 0), 0);  // no screen: nothing to draw on
}

TEST_F(TextTest, PrintPaintsWholeCellsAndMovesTheCursorDown) {
  Screen* screen = current_screen();
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 100; ++x) pixel(0, x, y) = 0xFF332211;
  print_text("\xDB \xFE", true);  // clear bits and blanks in the background colour
  // The triangle's first row lights its first column only; past the third cell nothing changed.
  expect_pixels(
      {{7, 7, kWhite}, {16, 0, kWhite}, {12, 3, kBlack}, {17, 0, kBlack}, {24, 0, 0xFF332211u}});
  const std::vector<TextCell>& cells = screen->text_cells[0];
  EXPECT_EQ((std::vector<uint32_t>{cells[2].code, cells[2].foreground, cells[2].background,
                                   cells[3].code}),
            (std::vector<uint32_t>{0xFE, kWhite, kBlack, 32}));
  // The next text starts at column 0 of row 1.
  print_text("\xDB", false);
  expect_pixels({{0, 8, kWhite}, {7, 15, kWhite}, {8, 8, 0xFF332211u}});
  EXPECT_EQ(cells[80].code, 0xDB);
  // copy_page carries the cells along with the pixels.
  copy_page(0, 1);
  EXPECT_EQ(screen->text_cells[1][80].code, 0xDB);
}

TEST_F(TextTest, PrintWrapsAtTheRightEdgeAndScrollsAtTheBottom) {
  print_text(std::string(80, 'x') + "\xDB", false);
  EXPECT_EQ(current_screen()->text_cells[0][80].code, 0xDB);
  EXPECT_EQ(pixel(0, 0, 8), kWhite);
  reset_text_cursor();
  print_text("\xDB", false);
  for (int row = 0; row < 60; ++row) print_text("", true);  // pushes row 0 off the top
  expect_pixels({{0, 0, kWhite}, {0, 472, kBlack}});        // the wrapped row moved up
  EXPECT_EQ(current_screen()->text_cells[0][0].code, 0xDB);
}

// The fonts are 8, 14 and 16 rows high with 0xDB the full block; after them the two-colour
// palette: black, white.
TEST_F(TextTest, BuiltInStorageHoldsCodePage437AndThePalettes) {
  for (int f = 0; f < 3; ++f) {
    const FontInfo font = font_info(f);
    EXPECT_EQ(font.height, f == 0 ? 8 : 12 + 2 * f);
    EXPECT_EQ(std::count(font.data + 0xDB * font.height, font.data + 0xDC * font.height, 0xFF),
              font.height);
  }
  EXPECT_EQ(
      std::vector<uint8_t>(font_storage() + FONT_TABLE_SIZE, font_storage() + FONT_TABLE_SIZE + 6),
      std::vector<uint8_t>({0, 0, 0, 255, 255, 255}));
}

}  // namespace
