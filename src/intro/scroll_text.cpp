#include "intro/scroll_text.h"

#include <array>
#include <string_view>

std::string ScrollText;
int32_t ScrollPosition = SCROLL_START_POSITION;

namespace {

// The text is written here in UTF-8 and turned into Windows-1251 bytes at compile time: one byte
// per character, which is what the scroller's glyph table expects.
struct Segment {
  int spaces;             // a run of this many spaces, or 0 for a text line
  std::string_view text;  // UTF-8: printable ASCII and the Cyrillic letters А..я only
  int bytes;              // length in Windows-1251
  int cyrillic;           // bytes at or above 0xC0
};

constexpr Segment kSegments[] = {
    {40, "", 40, 0},
    // A greeting and the title.
    {0, "Hello, welcome to intro, a small New Year production with stars, bars and a cube! ", 82,
     0},
    {0,
     "Sit back, turn the sound up and watch this text wave along the bottom of the screen while "
     "an XM module plays on.",
     112, 0},
    {80, "", 80, 0},
    // The author's greeting.
    {0,
     "Привет всем, кто смотрит intro! Пишет вам автор этой маленькой работы: Pixel Weaver (PW), "
     "31.12.2026. ",
     102, 52},
    {0,
     "Надеюсь, intro вам очень понравится, хотя оно совсем малюсенькое: 640x480, 32 bpp и 2 pages.",
     92, 50},
    {100, "", 100, 0},
    // Why it is out now, and what comes next.
    {0,
     "Эта работа выпущена к зимнему собранию хороших друзей из BitClub, где мы встречаемся "
     "ежегодно в конце декабря. ",
     111, 85},
    {0,
     "Скоро будет и еще одно интересное событие: демо-пати Winter Byte 2027, которая пройдет в "
     "начале февраля. ",
     105, 71},
    {0,
     "Там будут конкурсы демо, интро 4kb и 64kb, музыки (XM, IT, S3M), пиксельной графики, ASCII "
     "и многое другое. ",
     108, 62},
    {0,
     "Приезжайте все, берите с собой компьютеры (PC, Amiga, C64), хорошее настроение и новые "
     "работы для конкурсов! ",
     109, 76},
    {0,
     "Мы обещаем горячий чай, быструю локалку (100 Mbit), громкий звук и большой экран для показа "
     "работ. ",
     99, 71},
    {100, "", 100, 0},
    // Plans for a bigger production.
    {0,
     "В следующий раз я хочу сотворить настоящее demo: 3D-сцены, bump, текстуры, частицы и 60 fps "
     "на любом PC. ",
     105, 64},
    {0,
     "Музыку для него напишет наш хороший друг Mod Master (.XM), а графику нарисую я, если хватит "
     "времени и сил. ",
     107, 71},
    {0, "До встречи там!!", 16, 12},
    {100, "", 100, 0},
    {0, "Credits: code, text and glyphs by Pixel Weaver.", 47, 0},
    {100, "", 100, 0},
    // Greetings.
    {0, "Greetings go out to all friends and groups who keep the demoscene alive: ", 73, 0},
    {0,
     "Bit Bakers, Copper Chasers, RasterRats, Sine Surfers, NullPointer Crew, Byte Brigade и всем "
     "друзьям на форуме! ",
     111, 20},
    {0, "Thanks for watching this intro", 30, 0},
    {100, "", 100, 0},
    // Farewell.
    {0, "Счастливого вам Нового года и до скорых встреч! Удачи всем :))", 62, 48},
};

constexpr int total_bytes() {
  int total = 0;
  for (const Segment& s : kSegments) total += s.bytes;
  return total;
}
constexpr int kTotalBytes = total_bytes();
static_assert(kTotalBytes == 2091);

// Appends the Windows-1251 form of a UTF-8 line; anything outside printable ASCII and А..я stops
// the compilation.
template <size_t N>
consteval int append_cp1251(std::string_view utf8, std::array<char, N>& out, int at) {
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead >= 0x20 && lead < 0x7F) {
      out[static_cast<size_t>(at++)] = static_cast<char>(lead);
      ++i;
      continue;
    }
    if ((lead & 0xE0) != 0xC0 || i + 1 >= utf8.size()) throw "scroll text: unsupported character";
    const int code_point = (lead & 0x1F) << 6 | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F);
    if (code_point < 0x410 || code_point > 0x44F) throw "scroll text: unsupported character";
    out[static_cast<size_t>(at++)] = static_cast<char>(0xC0 + (code_point - 0x410));
    i += 2;
  }
  return at;
}

consteval std::array<char, kTotalBytes> encode_segments() {
  std::array<char, kTotalBytes> out{};
  int at = 0;
  for (const Segment& s : kSegments) {
    const int start = at;
    if (s.spaces > 0) {
      for (int i = 0; i < s.spaces; ++i) out[static_cast<size_t>(at++)] = ' ';
    } else {
      at = append_cp1251(s.text, out, at);
    }
    int cyrillic = 0;
    for (int i = start; i < at; ++i) cyrillic += static_cast<unsigned char>(out[i]) >= 0xC0;
    if (at - start != s.bytes) throw "scroll text: a segment has the wrong length";
    if (cyrillic != s.cyrillic) throw "scroll text: a segment has the wrong Cyrillic count";
  }
  return out;
}
constexpr std::array<char, kTotalBytes> kEncoded = encode_segments();

}  // namespace

void build_scroll_text() {
  ScrollText.clear();
  size_t at = 0;
  for (const Segment& s : kSegments) {
    ScrollText.append(kEncoded.data() + at, static_cast<size_t>(s.bytes));
    at += static_cast<size_t>(s.bytes);
  }
}

void advance_scroll() {
  ScrollPosition -= 3;
  const int32_t length = static_cast<int32_t>(ScrollText.size());
  if (ScrollPosition < -8 * length) ScrollPosition = SCROLL_START_POSITION;
}
