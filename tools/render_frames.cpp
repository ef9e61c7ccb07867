// Renders the intro's frames without a display, exactly as the window would show them, for golden
// tests and for looking at frames:
//   render_frames --seed N --frames 1,2,100 --out DIR [--header FILE] [--close-at F]
//                 [--module FILE] [--dump-glyphs FILE] [--dump-text FILE] [--kernels LEVEL]
// With --module the analyser bars follow that music, decoded offline at 60 frames per second
// exactly as a capture does. --kernels (scalar, sse2, avx2, avx512) draws with that level of pixel
// kernels, as INTRO_KERNELS does for the intro; the level used is named on standard error.
#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "gfx/fast_paths.h"
#include "gfx/screen.h"
#include "intro/glyph_table.h"
#include "intro/header_wobble.h"
#include "intro/offline_intro.h"
#include "intro/scroll_text.h"
#include "intro/sequencer.h"
#include "png_writer.h"

namespace {

int usage(const char* message) {
  std::fprintf(stderr,
               "render_frames: %s\n"
               "usage: render_frames --seed N --frames F1,F2,... --out DIR [--header FILE]\n"
               "                     [--close-at F] [--module FILE] [--dump-glyphs FILE]\n"
               "                     [--dump-text FILE] [--kernels scalar|sse2|avx2|avx512]\n",
               message);
  return 2;
}

bool parse_number(const std::string& text, long long low, long long high, long long& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  value = std::strtoll(text.c_str(), &end, 10);
  return errno == 0 && *end == '\0' && value >= low && value <= high;
}

bool parse_frames(const std::string& text, std::set<int32_t>& frames) {
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = text.find(',', start);
    const std::string item =
        text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    long long n;
    if (!parse_number(item, 1, 100000000, n)) return false;
    frames.insert(static_cast<int32_t>(n));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return !frames.empty();
}

bool write_file(const std::string& path, const void* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

// Page 1 as the window shows it: little-endian words, row by row, and a PNG beside it.
bool write_frame(const std::string& dir, int32_t frame) {
  const Screen* s = current_screen();
  std::vector<uint32_t> words(static_cast<size_t>(s->width) * static_cast<size_t>(s->height));
  for (int y = 0; y < s->height; ++y) {
    const auto* row =
        reinterpret_cast<const uint32_t*>(s->pages[1] + static_cast<ptrdiff_t>(y) * s->pitch);
    std::copy(row, row + s->width, words.begin() + static_cast<ptrdiff_t>(y) * s->width);
  }
  std::vector<uint8_t> bytes(words.size() * 4);
  for (size_t i = 0; i < words.size(); ++i) {
    for (int b = 0; b < 4; ++b)
      bytes[4 * i + static_cast<size_t>(b)] = static_cast<uint8_t>(words[i] >> (8 * b));
  }
  char name[32];
  std::snprintf(name, sizeof name, "/frame_%05d", static_cast<int>(frame));
  return write_file(dir + name + ".bin", bytes.data(), bytes.size()) &&
         png_writer::write_rgb(dir + name + ".png", words.data(), s->width, s->height);
}

}  // namespace

int main(int argc, char** argv) {
  long long seed = -1, close_at = 0;
  std::set<int32_t> frames;
  std::string out_dir, glyph_file, text_file, module_file;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return usage(("missing value after " + arg).c_str());
    const std::string value = argv[++i];
    if (arg == "--seed") {
      if (!parse_number(value, 0, 0xFFFFFFFFll, seed))
        return usage("--seed takes a number 0..4294967295");
    } else if (arg == "--frames") {
      if (!parse_frames(value, frames))
        return usage("--frames takes frame numbers >= 1 separated by commas");
    } else if (arg == "--out") {
      out_dir = value;
    } else if (arg == "--header") {
      HeaderFileName = value;
    } else if (arg == "--close-at") {
      if (!parse_number(value, 1, 100000000, close_at))
        return usage("--close-at takes a frame number >= 1");
    } else if (arg == "--module") {
      module_file = value;
    } else if (arg == "--dump-glyphs") {
      glyph_file = value;
    } else if (arg == "--dump-text") {
      text_file = value;
    } else if (arg == "--kernels") {
      if (!kernel_level_named(value)) return usage("--kernels takes scalar, sse2, avx2 or avx512");
      use_pixel_kernels(choose_kernel_level(value.c_str()));
    } else {
      return usage(("unknown argument " + arg).c_str());
    }
  }
  if (seed < 0) return usage("--seed is required");
  if (frames.empty()) return usage("--frames is required");
  if (out_dir.empty()) return usage("--out is required");

  std::fprintf(stderr, "render_frames: pixel kernels %s\n", pixel_kernels().name);
  // The window-less back end, with the intro's own flags so blending is on as in the window.
  if (start_offline_intro(static_cast<uint32_t>(seed), 60, module_file) != 0) {
    std::fprintf(stderr, "render_frames: cannot open the screen\n");
    return 1;
  }
  if (!glyph_file.empty() && !write_file(glyph_file, GlyphTable, GLYPH_TABLE_SIZE)) {
    std::fprintf(stderr, "render_frames: cannot write %s\n", glyph_file.c_str());
    return 1;
  }
  if (!text_file.empty() && !write_file(text_file, ScrollText.data(), ScrollText.size())) {
    std::fprintf(stderr, "render_frames: cannot write %s\n", text_file.c_str());
    return 1;
  }
  const int32_t last = *frames.rbegin();
  std::vector<float> sound(static_cast<size_t>(offline_sound_capacity(60)) * 2);
  for (int32_t n = 1;; ++n) {
    draw_offline_frame(n == close_at, sound.data());
    show_frame();
    const bool more = offline_frames_left();
    if (frames.count(n) && !write_frame(out_dir, n)) {
      std::fprintf(stderr, "render_frames: cannot write frame %d to %s\n", n, out_dir.c_str());
      return 1;
    }
    if (!more || n >= last) break;
  }
  return 0;
}
