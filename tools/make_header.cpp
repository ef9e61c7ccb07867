// Draws the intro's 512x96 header picture and writes it as a 32-bit bitmap with an alpha mask:
// the title in bevelled tiles over a translucent striped band between two ornamented gold rules.
// Usage: make_header [OUT]   (default data/header.bmp)
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 512;
constexpr int kHeight = 96;

struct Rgba {
  float r, g, b, a;  // straight alpha, 0..1
};

std::vector<Rgba> Canvas(kWidth* kHeight, Rgba{0, 0, 0, 0});

// Porter-Duff "over" with straight alpha.
void blend(int x, int y, Rgba s) {
  if (x < 0 || y < 0 || x >= kWidth || y >= kHeight || s.a <= 0) return;
  Rgba& d = Canvas[static_cast<size_t>(y * kWidth + x)];
  const float a = s.a + d.a * (1 - s.a);
  if (a <= 0) return;
  d.r = (s.r * s.a + d.r * d.a * (1 - s.a)) / a;
  d.g = (s.g * s.a + d.g * d.a * (1 - s.a)) / a;
  d.b = (s.b * s.a + d.b * d.a * (1 - s.a)) / a;
  d.a = a;
}

Rgba mix(Rgba p, Rgba q, float t) {
  return {p.r + (q.r - p.r) * t, p.g + (q.g - p.g) * t, p.b + (q.b - p.b) * t,
          p.a + (q.a - p.a) * t};
}

// 5x7 letter shapes of the title.
const std::array<const char*, 7> kLetterI = {"#####", "..#..", "..#..", "..#..",
                                             "..#..", "..#..", "#####"};
const std::array<const char*, 7> kLetterN = {"#...#", "##..#", "#.#.#", "#.#.#",
                                             "#..##", "#...#", "#...#"};
const std::array<const char*, 7> kLetterT = {"#####", "..#..", "..#..", "..#..",
                                             "..#..", "..#..", "..#.."};
const std::array<const char*, 7> kLetterR = {"####.", "#...#", "#...#", "####.",
                                             "#.#..", "#..#.", "#...#"};
const std::array<const char*, 7> kLetterO = {".###.", "#...#", "#...#", "#...#",
                                             "#...#", "#...#", ".###."};

constexpr int kCellW = 11;
constexpr int kCellH = 10;
constexpr int kLetterGap = 20;
constexpr int kTitleTop = 13;

// Pixels covered by the title's tiles (each cell one pixel short of its neighbours), as 1 + the
// pixel's column within its tile, and that row within the tile.
struct TitleMask {
  std::vector<uint8_t> column;
  std::vector<uint8_t> row;
};

TitleMask title_mask() {
  const std::array<const std::array<const char*, 7>*, 5> word = {&kLetterI, &kLetterN, &kLetterT,
                                                                 &kLetterR, &kLetterO};
  const int title_width = 5 * 5 * kCellW + 4 * kLetterGap;
  const int left = (kWidth - title_width) / 2;
  TitleMask mask{std::vector<uint8_t>(static_cast<size_t>(kWidth * kHeight), 0),
                 std::vector<uint8_t>(static_cast<size_t>(kWidth * kHeight), 0)};
  for (size_t l = 0; l < word.size(); ++l) {
    const int lx = left + static_cast<int>(l) * (5 * kCellW + kLetterGap);
    for (int row = 0; row < 7; ++row) {
      for (int col = 0; col < 5; ++col) {
        if ((*word[l])[static_cast<size_t>(row)][col] != '#') continue;
        for (int y = 0; y < kCellH - 1; ++y) {
          for (int x = 0; x < kCellW - 1; ++x) {
            const auto at = static_cast<size_t>((kTitleTop + row * kCellH + y) * kWidth + lx +
                                                col * kCellW + x);
            mask.column[at] = static_cast<uint8_t>(1 + x);
            mask.row[at] = static_cast<uint8_t>(y);
          }
        }
      }
    }
  }
  return mask;
}

bool covered(const TitleMask& mask, int x, int y) {
  return x >= 0 && y >= 0 && x < kWidth && y < kHeight &&
         mask.column[static_cast<size_t>(y * kWidth + x)] != 0;
}

void draw_band() {
  const Rgba top{0.10f, 0.04f, 0.30f, 1}, bottom{0.35f, 0.05f, 0.40f, 1};
  for (int y = 9; y <= 86; ++y) {
    const float t = static_cast<float>(y - 9) / 77.0f;
    const float fade = std::sin(3.14159265f * t);
    for (int x = 0; x < kWidth; ++x) {
      // Diagonal stripes leave clear lanes for the stars behind.
      const bool lane = ((x + y) / 5) % 3 == 0;
      const float edge = std::min(1.0f, std::min(x, kWidth - 1 - x) / 48.0f);
      Rgba c = mix(top, bottom, t);
      c.a = lane ? 0 : 0.55f * fade * edge;
      blend(x, y, c);
    }
  }
}

void draw_diamond(float cx, float cy, float radius, Rgba outer, Rgba inner) {
  for (int y = static_cast<int>(cy - radius) - 1; y <= static_cast<int>(cy + radius) + 1; ++y) {
    for (int x = static_cast<int>(cx - radius) - 1; x <= static_cast<int>(cx + radius) + 1; ++x) {
      const float d = std::fabs(x + 0.5f - cx) + std::fabs(y + 0.5f - cy);
      if (d > radius + 0.5f) continue;
      Rgba c = mix(inner, outer, std::min(1.0f, d / radius));
      c.a *= std::clamp(radius + 0.5f - d, 0.0f, 1.0f);
      blend(x, y, c);
    }
  }
}

void draw_rules() {
  const Rgba gold{1.0f, 0.78f, 0.30f, 1}, pale{1.0f, 0.97f, 0.80f, 1}, deep{0.75f, 0.42f, 0.08f, 1};
  for (int rule_y : {4, 90}) {
    for (int x = 6; x < kWidth - 6; ++x) {
      const float edge = std::min(1.0f, std::min(x - 6, kWidth - 7 - x) / 24.0f);
      Rgba c = gold;
      c.a = edge;
      blend(x, rule_y, c);
      c = deep;
      c.a = edge;
      blend(x, rule_y + 1, c);
    }
    for (int i = 0; i < 16; ++i) {
      const float cx = 16.0f + 32.0f * static_cast<float>(i);
      const bool big = i % 4 == 0 || i % 4 == 3;
      draw_diamond(cx, static_cast<float>(rule_y) + 1.0f, big ? 4.0f : 2.5f, gold, pale);
    }
  }
}

void draw_title(const TitleMask& mask) {
  // Soft drop shadow, then a dark rim, then the tiles.
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if (covered(mask, x - 3, y - 3)) blend(x, y, {0, 0, 0.05f, 0.55f});
    }
  }
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if (covered(mask, x, y)) continue;
      bool near = false;
      for (int dy = -1; dy <= 1 && !near; ++dy) {
        for (int dx = -1; dx <= 1 && !near; ++dx) near = covered(mask, x + dx, y + dy);
      }
      if (near) blend(x, y, {0.25f, 0.03f, 0.0f, 0.9f});
    }
  }
  const Rgba light{1.0f, 0.96f, 0.62f, 1}, mid{1.0f, 0.62f, 0.10f, 1}, dark{0.78f, 0.12f, 0.05f, 1};
  for (int y = 0; y < kHeight; ++y) {
    const float t = std::clamp(static_cast<float>(y - kTitleTop) / (7.0f * kCellH), 0.0f, 1.0f);
    const Rgba body = t < 0.5f ? mix(light, mid, t * 2) : mix(mid, dark, (t - 0.5f) * 2);
    for (int x = 0; x < kWidth; ++x) {
      if (!covered(mask, x, y)) continue;
      Rgba c = body;
      // Bevel: lit from the top left within each tile.
      const int cx = mask.column[static_cast<size_t>(y * kWidth + x)] - 1;
      const int cy = mask.row[static_cast<size_t>(y * kWidth + x)];
      if (cx <= 1 || cy <= 1) c = mix(c, {1, 1, 0.95f, 1}, 0.55f);
      if (cx >= kCellW - 3 || cy >= kCellH - 3) c = mix(c, {0.3f, 0.02f, 0.0f, 1}, 0.45f);
      blend(x, y, c);
    }
  }
}

void draw_sparkle(float cx, float cy, float size) {
  for (int y = static_cast<int>(cy - size); y <= static_cast<int>(cy + size); ++y) {
    for (int x = static_cast<int>(cx - size); x <= static_cast<int>(cx + size); ++x) {
      const float dx = std::fabs(x + 0.5f - cx), dy = std::fabs(y + 0.5f - cy);
      // A four-pointed star: bright along the axes, a small glow in the middle.
      const float ray =
          std::max(0.0f, 1 - std::min(dx, dy) * 1.2f) * std::max(0.0f, 1 - std::max(dx, dy) / size);
      const float glow = std::max(0.0f, 1 - std::sqrt(dx * dx + dy * dy) / (size * 0.35f));
      const float a = std::min(1.0f, ray + glow);
      blend(x, y, {1.0f, 1.0f, 0.9f, a});
    }
  }
}

void put_le(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A 108-byte header with bit-field masks, so that the alpha channel is explicit.
std::vector<uint8_t> encode() {
  constexpr uint32_t kHeaderBytes = 14 + 108;
  const uint32_t pixel_bytes = kWidth * kHeight * 4;
  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  put_le(out, kHeaderBytes + pixel_bytes, 4);
  put_le(out, 0, 4);
  put_le(out, kHeaderBytes, 4);
  put_le(out, 108, 4);
  put_le(out, kWidth, 4);
  put_le(out, kHeight, 4);  // positive: bottom row first
  put_le(out, 1, 2);
  put_le(out, 32, 2);
  put_le(out, 3, 4);  // bit fields
  put_le(out, pixel_bytes, 4);
  put_le(out, 2835, 4);
  put_le(out, 2835, 4);
  put_le(out, 0, 4);
  put_le(out, 0, 4);
  put_le(out, 0x00FF0000, 4);
  put_le(out, 0x0000FF00, 4);
  put_le(out, 0x000000FF, 4);
  put_le(out, 0xFF000000, 4);
  put_le(out, 0x73524742, 4);                      // sRGB
  for (int i = 0; i < 12; ++i) put_le(out, 0, 4);  // end points and gamma, unused with sRGB
  const auto byte = [](float v) {
    return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
  };
  for (int y = kHeight - 1; y >= 0; --y) {
    for (int x = 0; x < kWidth; ++x) {
      const Rgba& p = Canvas[static_cast<size_t>(y * kWidth + x)];
      const uint32_t a = byte(p.a);
      // Fully clear pixels carry no colour.
      const uint32_t rgb = a == 0 ? 0 : byte(p.r) << 16 | byte(p.g) << 8 | byte(p.b);
      put_le(out, a << 24 | rgb, 4);
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
    std::fprintf(stderr, "usage: make_header [OUT]   (default data/header.bmp)\n");
    return 2;
  }
  const std::string path = argc == 2 ? argv[1] : "data/header.bmp";
  const TitleMask mask = title_mask();
  draw_band();
  draw_rules();
  draw_title(mask);
  const float sparkles[][3] = {{58, 24, 9},  {452, 70, 10}, {150, 84, 6},
                               {372, 12, 6}, {30, 66, 5},   {486, 28, 6}};
  for (const auto& s : sparkles) draw_sparkle(s[0], s[1], s[2]);

  const std::vector<uint8_t> bytes = encode();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    std::fprintf(stderr, "make_header: cannot write %s\n", path.c_str());
    return 1;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (std::fclose(file) != 0 || !ok) {
    std::fprintf(stderr, "make_header: cannot write %s\n", path.c_str());
    return 1;
  }
  std::printf("make_header: wrote %s (%zu bytes)\n", path.c_str(), bytes.size());
  return 0;
}
