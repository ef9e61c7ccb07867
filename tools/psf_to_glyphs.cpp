// One-off converter: turns 8-pixel-wide PC screen fonts (PSF 1 or 2, uncompressed, with a Unicode
// table) into the readable glyph files of src/gfx/fonts and src/intro/glyphs.
//
//   psf_to_glyphs cp437|intro HEIGHT FONT.psf [FALLBACK.psf ...] > OUT.glyphs
//
// "cp437" lays the glyphs out in code page 437 order; "intro" in the intro's own order (PC symbols
// and ASCII below 0x80, a few marks and Cyrillic letters of Windows-1251 above). Each code takes
// the glyph of the first font that has one of its Unicode candidates. Codes without a glyph are
// left out of the output (they are blank) and listed on stderr.
//
// The fonts come from Debian's console-setup-linux package, unpacked first
// (zcat /usr/share/consolefonts/NAME.psf.gz > NAME.psf). The glyph files were made with
//   psf_to_glyphs intro 8 CyrKoi-VGA8.psf Uni2-VGA8.psf FullCyrSlav-VGA8.psf
//   psf_to_glyphs intro 14 CyrKoi-VGA14.psf Uni2-VGA14.psf FullCyrSlav-VGA14.psf
//   psf_to_glyphs intro 16 CyrKoi-VGA16.psf FullCyrSlav-VGA16.psf Uni2-VGA16.psf
//   psf_to_glyphs cp437 8 Uni2-VGA8.psf FullGreek-VGA8.psf Uni1-VGA8.psf Lat15-VGA8.psf
//     Lat38-VGA8.psf
//   psf_to_glyphs cp437 14 Uni2-VGA14.psf FullGreek-VGA14.psf Uni1-VGA14.psf Lat15-VGA14.psf
//     Lat38-VGA14.psf
//   psf_to_glyphs cp437 16 FullGreek-VGA16.psf Uni2-VGA16.psf
// and then edited by hand, as each file's header says; they are the sources now, not the output
// of a build step.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

struct PsfFont {
  int height = 0;
  std::vector<std::vector<uint8_t>> glyphs;  // rows, most significant bit leftmost
  std::map<char32_t, int> by_code_point;
  std::vector<std::u32string> code_points;  // per glyph
};

// Small fonts often draw a Cyrillic letter with the glyph of a Greek letter or a box-drawing
// piece that merely resembles it; those borrowed shapes do not fit the letters' metrics. A glyph
// shared with a Latin letter is the same letter in both scripts and fits.
bool borrowed_for_cyrillic(const PsfFont& font, char32_t c, int glyph) {
  if (c < 0x400 || c > 0x4FF) return false;
  bool latin = false, foreign = false;
  for (char32_t other : font.code_points[glyph]) {
    latin = latin || other < 0x250;
    foreign = foreign || (other >= 0x370 && other <= 0x3FF) || (other >= 0x2500 && other <= 0x25FF);
  }
  return foreign && !latin;
}

uint32_t read_le32(const std::vector<uint8_t>& d, size_t at) {
  return d[at] | d[at + 1] << 8 | d[at + 2] << 16 | static_cast<uint32_t>(d[at + 3]) << 24;
}

// Decodes one UTF-8 sequence at d[p], advancing p.
char32_t read_utf8(const std::vector<uint8_t>& d, size_t& p) {
  const uint8_t b = d[p++];
  int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
  char32_t c = extra == 0 ? b : b & (0x3F >> extra);
  while (extra-- > 0 && p < d.size()) c = c << 6 | (d[p++] & 0x3F);
  return c;
}

bool load_psf(const char* path, PsfFont& font) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t glyph_count = 0, bytes_per_glyph = 0, header = 0;
  bool has_table = false, version2 = false;
  if (d.size() >= 4 && d[0] == 0x36 && d[1] == 0x04) {
    glyph_count = (d[2] & 1) ? 512 : 256;
    has_table = (d[2] & 6) != 0;
    bytes_per_glyph = d[3];
    header = 4;
  } else if (d.size() >= 32 && read_le32(d, 0) == 0x864AB572u) {
    version2 = true;
    header = read_le32(d, 8);
    has_table = read_le32(d, 12) & 1;
    glyph_count = read_le32(d, 16);
    bytes_per_glyph = read_le32(d, 20);
    if (read_le32(d, 28) != 8) return false;
  } else {
    return false;
  }
  font.height = static_cast<int>(bytes_per_glyph);
  font.code_points.resize(glyph_count);
  size_t p = header;
  for (size_t i = 0; i < glyph_count; ++i, p += bytes_per_glyph) {
    if (p + bytes_per_glyph > d.size()) return false;
    font.glyphs.emplace_back(d.begin() + p, d.begin() + p + bytes_per_glyph);
  }
  if (!has_table) return false;
  // Unicode table: per glyph, code points up to a separator; sequences after a start mark are
  // combining forms we skip.
  for (int glyph = 0; glyph < static_cast<int>(glyph_count) && p < d.size();) {
    char32_t c;
    if (version2) {
      if (d[p] == 0xFF) {
        ++glyph, ++p;
        continue;
      }
      if (d[p] == 0xFE) {
        while (p < d.size() && d[p] != 0xFF) ++p;
        continue;
      }
      c = read_utf8(d, p);
    } else {
      c = d[p] | d[p + 1] << 8;
      p += 2;
      if (c == 0xFFFF) {
        ++glyph;
        continue;
      }
      if (c == 0xFFFE) {
        while (p + 1 < d.size() && (d[p] | d[p + 1] << 8) != 0xFFFF) p += 2;
        continue;
      }
    }
    font.by_code_point.emplace(c, glyph);
    font.code_points[glyph] += c;
  }
  return true;
}

std::u32string utf32(const std::string& s) {
  std::vector<uint8_t> bytes(s.begin(), s.end());
  std::u32string out;
  for (size_t p = 0; p < bytes.size();) out += read_utf8(bytes, p);
  return out;
}

std::string utf8(char32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | c >> 6);
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xE0 | c >> 12);
    s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

// Unicode candidates per code, best first.
using Repertoire = std::vector<std::u32string>;

const char* const kPcSymbols = " ☺☻♥♦♣♠•◘○◙♂♀♪♫☼►◄↕‼¶§▬↨↑↓→←∟↔▲▼";
const char* const kCp437Upper =
    "ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫"
    "╪┘┌█▄▌▐▀αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■ ";

// Other code points fonts use for the same picture.
std::u32string with_aliases(char32_t c) {
  std::u32string out(1, c);
  switch (c) {
    case U'►':
      out += U"▶▸";
      break;
    case U'◄':
      out += U"◀◂";
      break;
    case U'▬':
      out += U"▮■";
      break;
    case U'ß':
      out += U"β";
      break;
    case U'µ':
      out += U"μ";
      break;
    case U'Ω':
      out += U"Ω";
      break;
    case U'∙':
      out += U"·";
      break;
    default:
      break;
  }
  return out;
}

Repertoire low_half() {
  Repertoire r(256);
  const std::u32string symbols = utf32(kPcSymbols);
  for (int c = 1; c < 0x20; ++c) r[c] = with_aliases(symbols[c]);
  for (int c = 0x21; c < 0x7F; ++c) r[c] = std::u32string(1, static_cast<char32_t>(c));
  r[0x7F] = U"⌂";
  return r;
}

Repertoire cp437() {
  Repertoire r = low_half();
  const std::u32string upper = utf32(kCp437Upper);
  for (int c = 0x80; c < 0xFF; ++c) r[c] = with_aliases(upper[c - 0x80]);
  return r;
}

Repertoire intro() {
  Repertoire r = low_half();
  r[0x82] = U"‚,";
  r[0x84] = r[0x93] = r[0x94] = U"\"";
  r[0x88] = U"^";
  r[0x91] = r[0x92] = U"'";
  r[0x96] = r[0x97] = U"–-";
  r[0x98] = U"˜~";
  const std::u32string marks = U"ЎўЁЄЇІіё№єЅѕї";
  const int marks_at[] = {0xA1, 0xA2, 0xA8, 0xA9, 0xAF, 0xB2, 0xB3,
                          0xB8, 0xB9, 0xBA, 0xBD, 0xBE, 0xBF};
  for (size_t i = 0; i < marks.size(); ++i) r[marks_at[i]] = std::u32string(1, marks[i]);
  for (int c = 0xC0; c <= 0xFF; ++c) r[c] = std::u32string(1, U'А' + (c - 0xC0));
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s cp437|intro HEIGHT FONT.psf [FALLBACK.psf ...]\n", argv[0]);
    return 2;
  }
  const std::string kind = argv[1];
  const int height = std::stoi(argv[2]);
  const Repertoire repertoire = kind == "cp437" ? cp437() : intro();
  std::vector<PsfFont> fonts(static_cast<size_t>(argc - 3));
  for (int i = 3; i < argc; ++i) {
    if (!load_psf(argv[i], fonts[i - 3]) || fonts[i - 3].height != height) {
      std::fprintf(stderr, "%s: not an 8x%d PSF font with a Unicode table\n", argv[i], height);
      return 1;
    }
  }
  std::printf("R\"GLYPHS(\n");
  std::printf("; %s glyphs 8x%d, converted by psf_to_glyphs from", kind.c_str(), height);
  for (int i = 3; i < argc; ++i) {
    const std::string path = argv[i];
    std::printf(" %s", path.substr(path.find_last_of('/') + 1).c_str());
  }
  std::printf(
      ".\n; Each glyph: its code in hex, then one line per pixel row, top row first, leftmost\n"
      "; pixel first; '#' is a set pixel, '.' a clear one. Codes not listed are blank.\n");
  std::printf("size 8x%d\n", height);
  for (int code = 0; code < 256; ++code) {
    const std::vector<uint8_t>* glyph = nullptr;
    for (char32_t candidate : repertoire[code]) {
      for (const PsfFont& font : fonts) {
        auto found = font.by_code_point.find(candidate);
        if (found != font.by_code_point.end() &&
            !borrowed_for_cyrillic(font, candidate, found->second)) {
          glyph = &font.glyphs[found->second];
          break;
        }
      }
      if (glyph) break;
    }
    if (repertoire[code].empty()) continue;
    if (!glyph) {
      std::fprintf(stderr, "no glyph for 0x%02X\n", code);
      continue;
    }
    bool blank = true;
    for (uint8_t row : *glyph) blank = blank && row == 0;
    if (blank) continue;
    std::printf("\n0x%02X %s\n", code, utf8(repertoire[code][0]).c_str());
    for (uint8_t row : *glyph) {
      for (int i = 7; i >= 0; --i) std::putchar((row >> i) & 1 ? '#' : '.');
      std::putchar('\n');
    }
  }
  std::printf(")GLYPHS\"\n");
  return 0;
}
