#include "gfx/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "gfx/draw_context.h"
#include "gfx/screen.h"

namespace {

constexpr Color kWhite = 0xFFFFFFFF;
constexpr Color kBlack = 0xFF000000;
constexpr int kScroller = static_cast<int>(0x80000004u);  // foreground colour, absolute

class TextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    force_display_driver("Null");
    ASSERT_EQ(set_screen_mode(640, 480, 32, 2, 0xC0, 0), 0);
    fill_builtin_font_storage(font_storage());  // earlier tests may have replaced the glyphs
    // A glyph that tells rows and columns apart: row r lights columns 0..r.
    for (int r = 0; r < 8; ++r)
      font_storage()[8 * kTriangle + r] = static_cast<uint8_t>((2 << r) - 1);
  }
  void TearDown() override {
    shutdown_screen();
    force_display_driver(nullptr);
  }

  static Color pixel(int page, int x, int y) {
    const Screen* screen = current_screen();
    Color c;
    std::memcpy(&c, screen->pages[page] + y * screen->pitch + x * 4, 4);
    return c;
  }

  // What drawing the text at (px, py) should leave on a black page: every glyph pixel that falls
  // on the page white, all else black.
  static std::vector<Color> expected_page(const std::string& text, int px, int py) {
    std::vector<Color> page(640 * 480, kBlack);
    const uint8_t* font = font_storage();
    for (size_t k = 0; k < text.size(); ++k) {
      for (int r = 0; r < 8; ++r) {
        for (int i = 0; i < 8; ++i) {
          const int x = px + 8 * static_cast<int>(k) + i, y = py + r;
          const uint8_t row = font[8 * static_cast<uint8_t>(text[k]) + r];
          if (x >= 0 && x < 640 && y >= 0 && y < 480 && ((row >> i) & 1))
            page[y * 640 + x] = kWhite;
        }
      }
    }
    return page;
  }

  static std::vector<Color> page_pixels(int page) {
    std::vector<Color> out(640 * 480);
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) out[y * 640 + x] = pixel(page, x, y);
    return out;
  }

  static constexpr uint8_t kTriangle = 0xFE;
};

TEST_F(TextTest, GlyphsAreClippedAtEveryPageEdge) {
  const std::string glyph(1, static_cast<char>(kTriangle));
  const int positions[][2] = {{0, 0},     {-3, 0},   {-8, 0},    {636, 0},    {640, 0},
                              {0, -5},    {0, 476},  {-3, -5},   {636, 476},  {-7, 100},
                              {639, 479}, {300, -8}, {300, 480}, {-100, -100}};
  for (const auto& p : positions) {
    SCOPED_TRACE(testing::Message() << "at " << p[0] << "," << p[1]);
    ASSERT_EQ(set_screen_mode(640, 480, 32, 2, 0xC0, 0), 0);
    EXPECT_EQ(
        draw_text(nullptr, static_cast<float>(p[0]), static_cast<float>(p[1]), kScroller, glyph, 0),
        0);
    EXPECT_EQ(page_pixels(0), expected_page(glyph, p[0], p[1]));
  }
}

TEST_F(TextTest, PartlyVisibleGlyphsShowTheRightColumnsAndRows) {
  const std::string glyph(1, static_cast<char>(kTriangle));
  // Columns 3..7 at x 0..4: row 3 lights columns 0..3, so only column 3 shows, at x = 0.
  draw_text(nullptr, -3, 0, kScroller, glyph, 0);
  EXPECT_EQ(pixel(0, 0, 3), kWhite);
  EXPECT_EQ(pixel(0, 1, 3), kBlack);
  EXPECT_EQ(pixel(0, 4, 7), kWhite);
  EXPECT_EQ(pixel(0, 5, 7), kBlack);
  // Rows 5..7 at y 0..2.
  draw_text(nullptr, 100, -5, kScroller, glyph, 0);
  EXPECT_EQ(pixel(0, 105, 0), kWhite);
  EXPECT_EQ(pixel(0, 106, 0), kBlack);
  EXPECT_EQ(pixel(0, 107, 2), kWhite);
  // Bit 0 is the leftmost pixel: row 0 (byte 0x01) lights x = 200 only.
  draw_text(nullptr, 200, 200, kScroller, glyph, 0);
  EXPECT_EQ(pixel(0, 200, 200), kWhite);
  EXPECT_EQ(pixel(0, 201, 200), kBlack);
}

TEST_F(TextTest, StringsLoseWholeCharactersOutsideThePage) {
  for (int px : {-20, -13, 615, 620, 632, 639}) {
    SCOPED_TRACE(px);
    ASSERT_EQ(set_screen_mode(640, 480, 32, 2, 0xC0, 0), 0);
    const std::string text =
        "AB\xDB\xFE"
        "CD";
    draw_text(nullptr, static_cast<float>(px), 30, kScroller, text, 0);
    EXPECT_EQ(page_pixels(0), expected_page(text, px, 30));
  }
}

TEST_F(TextTest, MarksTheDrawnRowsOfTheShownPage) {
  Screen* screen = current_screen();
  std::fill(screen->dirty_lines.begin(), screen->dirty_lines.end(), 0);
  draw_text(nullptr, 10, 476, kScroller, std::string(1, static_cast<char>(kTriangle)), 0);
  for (int y = 0; y < 480; ++y) EXPECT_EQ(screen->dirty_lines[y], y >= 476 ? 1 : 0) << y;
  // Drawing on page 0 while page 1 is shown marks nothing.
  set_pages(0, 1);
  std::fill(screen->dirty_lines.begin(), screen->dirty_lines.end(), 0);
  draw_text(nullptr, 10, 100, kScroller, "A", 0);
  for (int y = 0; y < 480; ++y) EXPECT_EQ(screen->dirty_lines[y], 0) << y;
}

TEST_F(TextTest, ClearBitsAndBlankGlyphsLeaveThePageAlone) {
  const std::vector<Color> before = page_pixels(0);
  draw_text(nullptr, 50, 50, kScroller, "   ", 0);
  draw_text(nullptr, 50, 50, kScroller, "", 0);
  EXPECT_EQ(page_pixels(0), before);
}

TEST_F(TextTest, ColourArgumentAndBlending) {
  // An opaque colour is stored as it is, a translucent one blended over the page.
  draw_text(nullptr, 0, 0, 0, "\xDB", 0xFF204060);
  EXPECT_EQ(pixel(0, 3, 3), 0xFF204060u);
  draw_text(nullptr, 8, 0, 0, "\xDB", 0x80FFFFFF);
  EXPECT_EQ(pixel(0, 11, 3) & 0x00FFFFFF, 0x007F7F7Fu);
}

TEST_F(TextTest, MissingTextIsAnError) {
  EXPECT_EQ(
      draw_text(nullptr, 0, 0, kScroller, nullptr, 3, 0, nullptr, 0, nullptr, nullptr, nullptr), 1);
}

TEST_F(TextTest, LoadingLineFillsTenCellsAndMovesTheCursorDown) {
  Screen* screen = current_screen();
  // Whole cells are repainted, whatever was there.
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 100; ++x)
      std::memcpy(screen->pages[0] + y * screen->pitch + x * 4, "\x11\x22\x33\xFF", 4);
  const std::string line = "loading...";
  print_text(line, true);
  const uint8_t* font = font_storage();
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 80; ++x) {
      const uint8_t row = font[8 * static_cast<uint8_t>(line[x / 8]) + y];
      EXPECT_EQ(pixel(0, x, y), ((row >> (x % 8)) & 1) ? kWhite : kBlack) << x << "," << y;
    }
  }
  EXPECT_EQ(pixel(0, 80, 0), 0xFF332211u);  // beyond the tenth cell nothing changed
  const std::vector<TextCell>& cells = screen->text_cells[0];
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(cells[i].code, static_cast<uint8_t>(line[i]));
    EXPECT_EQ(cells[i].foreground, kWhite);
    EXPECT_EQ(cells[i].background, kBlack);
  }
  EXPECT_EQ(cells[10].code, 32);
  // The next text starts at column 0 of row 1.
  print_text("\xDB", false);
  EXPECT_EQ(pixel(0, 0, 8), kWhite);
  EXPECT_EQ(pixel(0, 7, 15), kWhite);
  EXPECT_EQ(pixel(0, 8, 8), 0xFF332211u);
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
  EXPECT_EQ(pixel(0, 0, 0), kWhite);                        // the wrapped row moved up
  EXPECT_EQ(current_screen()->text_cells[0][0].code, 0xDB);
  EXPECT_EQ(pixel(0, 0, 472), kBlack);
}

TEST_F(TextTest, BuiltInStorageHoldsCodePage437AndThePalettes) {
  const uint8_t* storage = font_storage();
  for (int f = 0; f < 3; ++f) {
    const FontInfo font = font_info(f);
    EXPECT_EQ(font.width, 8);
    // 0xDB is the full block, 0xC4 a horizontal box-drawing line.
    for (int r = 0; r < font.height; ++r) EXPECT_EQ(font.data[0xDB * font.height + r], 0xFF);
    int full_rows = 0;
    for (int r = 0; r < font.height; ++r) full_rows += font.data[0xC4 * font.height + r] == 0xFF;
    EXPECT_GE(full_rows, 1);
  }
  EXPECT_EQ(font_info(0).height, 8);
  EXPECT_EQ(font_info(1).height, 14);
  EXPECT_EQ(font_info(2).height, 16);
  // The two-colour palette right after the fonts: black, white.
  const uint8_t two[] = {0, 0, 0, 255, 255, 255};
  EXPECT_EQ(std::memcmp(storage + FONT_TABLE_SIZE, two, 6), 0);
}

TEST_F(TextTest, DrawsIntoAnImageWithoutMarkingTheScreen) {
  Screen* screen = current_screen();
  std::fill(screen->dirty_lines.begin(), screen->dirty_lines.end(), 0);
  Image image = create_image(12, 6, kBlack, 32, 0);
  ASSERT_NE(image, nullptr);
  draw_text(image, 4, -2, kScroller, "\xDB", 0);  // cut to columns 0..7 of x 4..11, rows 2..7
  const ImageView view = image_view(image, 4);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 12; ++x) {
      Color c;
      std::memcpy(&c, view.pixels + y * view.pitch + x * 4, 4);
      EXPECT_EQ(c, x >= 4 ? kWhite : kBlack) << x << "," << y;
    }
  }
  for (uint8_t line : screen->dirty_lines) EXPECT_EQ(line, 0);
  // The screen is the target again for the next call.
  draw_text(nullptr, 0, 0, kScroller, "\xDB", 0);
  EXPECT_EQ(pixel(0, 0, 0), kWhite);
  destroy_image(image);
}

TEST(TextWithoutScreen, DrawsNothingAndSucceeds) {
  EXPECT_EQ(draw_text(nullptr, 0, 0, kScroller, "A", 0), 0);
}

}  // namespace
