#pragma once
// Turns a readable glyph file into font bytes at compile time, so the fonts stay editable as
// pictures and no build step is needed.
//
// A glyph file is a C++ raw string literal (first line R"GLYPHS(, last line )GLYPHS") holding:
//   ; comment lines and blank lines, ignored between glyphs
//   size 8xH                 once, before the first glyph
//   0xCC optional label      starts the glyph of code CC, codes ascending
//   ..####..                 H rows, top first; '#' set, '.' clear, leftmost pixel first
// Codes not listed are blank. Row byte bit 0 is the leftmost pixel. Any malformed line stops the
// compilation: a throw is not a constant expression.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace glyph_source {

constexpr int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  throw "glyph file: bad hex digit";
}

constexpr uint8_t row_byte(std::string_view line) {
  if (line.size() != 8) throw "glyph file: a row must be 8 pixels wide";
  uint8_t bits = 0;
  for (int i = 0; i < 8; ++i) {
    if (line[static_cast<size_t>(i)] == '#')
      bits = static_cast<uint8_t>(bits | (1 << i));
    else if (line[static_cast<size_t>(i)] != '.')
      throw "glyph file: a row holds only '#' and '.'";
  }
  return bits;
}

// Splits off the next line, without its line break.
constexpr std::string_view next_line(std::string_view& text) {
  const size_t end = text.find('\n');
  std::string_view line = text.substr(0, end);
  text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
  return line;
}

template <int Height>
consteval std::array<uint8_t, 256 * Height> parse(std::string_view text) {
  std::array<uint8_t, 256 * Height> font{};
  bool sized = false;
  int last_code = -1;
  while (!text.empty()) {
    const std::string_view line = next_line(text);
    if (line.empty() || line[0] == ';') continue;
    if (line.starts_with("size ")) {
      const std::string_view expected = Height == 8    ? "size 8x8"
                                        : Height == 14 ? "size 8x14"
                                        : Height == 16 ? "size 8x16"
                                                       : "";
      if (line != expected || sized) throw "glyph file: size line does not match the font";
      sized = true;
      continue;
    }
    if (!sized || !line.starts_with("0x") || line.size() < 4)
      throw "glyph file: expected a size line or a glyph code";
    if (line.size() > 4 && line[4] != ' ') throw "glyph file: a code has two hex digits";
    const int code = hex_digit(line[2]) * 16 + hex_digit(line[3]);
    if (code <= last_code) throw "glyph file: codes must ascend";
    last_code = code;
    for (int row = 0; row < Height; ++row)
      font[static_cast<size_t>(code * Height + row)] = row_byte(next_line(text));
  }
  if (!sized) throw "glyph file: no size line";
  return font;
}

// The rows of one glyph, for compile-time checks.
template <size_t N>
constexpr bool glyph_is(const std::array<uint8_t, N>& font, int height, int code,
                        std::array<uint8_t, 16> rows) {
  for (int row = 0; row < height; ++row) {
    if (font[static_cast<size_t>(code * height + row)] != rows[static_cast<size_t>(row)])
      return false;
  }
  return true;
}

}  // namespace glyph_source
