// The hot pixel kernels on the intro's own sizes, each beside pixman doing the same work and
// memset/memcpy of the same bytes (the memory limit). Names are <case>/<implementation>;
// bench/report.py lines them up. Run from data/ so that the real header picture is blitted.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "gfx/bmp.h"
#include "gfx/fast_paths.h"
#include "gfx/image.h"
#include "gfx/screen.h"
#include "gfx/write_rules.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr size_t kPageBytes = size_t{kWidth} * kHeight * 4;
constexpr int kStrips = 128, kStripWidth = 512, kHeaderRows = 96, kFirstStripRow = 40;
constexpr uint32_t kFadeColour = 0x80000000u;  // black at alpha 128

// Two pages as the screen allocates them, and pixman images over the same memory.
uint32_t* page_a = nullptr;
uint32_t* page_b = nullptr;
pixman_image_t* image_a = nullptr;
pixman_image_t* image_b = nullptr;
// The header picture: 512 x 96 pixels with their own alpha.
const uint32_t* header_pixels = nullptr;
int header_pitch_words = 0;
pixman_image_t* header_image = nullptr;
bool header_is_real = false;
int strip_x[kStrips];

uint32_t* row(uint32_t* page, int y) {
  return page + static_cast<ptrdiff_t>(y) * kWidth;
}

// pixman wants 16-bit channels; its fill premultiplies them.
pixman_color_t pixman_colour(uint32_t c) {
  auto wide = [](uint32_t v) { return static_cast<uint16_t>(v * 0x101); };
  return {wide((c >> 16) & 0xFF), wide((c >> 8) & 0xFF), wide(c & 0xFF), wide(c >> 24)};
}

// The raster bars of one frame: 16 full-width lines at alpha 16k and spread rows.
struct Bar {
  int y;
  uint32_t colour;
};
Bar bars[16];

void setup() {
  page_a = static_cast<uint32_t*>(std::aligned_alloc(16, kPageBytes));
  page_b = static_cast<uint32_t*>(std::aligned_alloc(16, kPageBytes));
  std::mt19937 rng(1);
  for (size_t i = 0; i < kPageBytes / 4; ++i) {
    page_a[i] = static_cast<uint32_t>(rng());
    page_b[i] = static_cast<uint32_t>(rng());
  }
  image_a = pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight, page_a, kWidth * 4);
  image_b = pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight, page_b, kWidth * 4);

  // The intro's own loader fills the header, as in the intro; without the file (run elsewhere
  // than data/) a picture with the same mix of transparent, opaque and translucent pixels.
  force_display_driver("Null");
  set_screen_mode(kWidth, kHeight, 32, 2, SCREEN_BLENDED_PRIMITIVES, 0);
  Image header = create_image(kStripWidth, kHeaderRows, 0, 0, IMAGE_DEFAULT_FILL);
  const ImageView view = image_view(header, 4);
  header_is_real = load_bmp("header.bmp", header, nullptr) == 0;
  auto* pixels = reinterpret_cast<uint32_t*>(view.pixels);
  header_pitch_words = view.pitch / 4;
  if (!header_is_real) {
    for (int y = 0; y < kHeaderRows; ++y) {
      for (int x = 0; x < kStripWidth; ++x) {
        const uint32_t r = static_cast<uint32_t>(rng());
        const uint32_t a = x % 3 == 0 ? 0 : x % 3 == 1 ? 0xFF : r >> 24;
        pixels[y * header_pitch_words + x] = a << 24 | (r & 0xFFFFFF);
      }
    }
  }
  header_pixels = pixels;
  header_image =
      pixman_image_create_bits(PIXMAN_a8r8g8b8, kStripWidth, kHeaderRows, pixels, view.pitch);
  for (int i = 0; i < kStrips; ++i)
    strip_x[i] = static_cast<int>(std::lround(64.0 + 8.0 * std::sin(0.03 * i)));
  for (int k = 0; k < 16; ++k) {
    bars[k].y = static_cast<int>(std::lround(240.0 * std::sin(0.03 * 3 * k) + 240.0));
    if (bars[k].y > kHeight - 1) bars[k].y = kHeight - 1;
    bars[k].colour = static_cast<uint32_t>(16 * k) << 24 | 0x4080C0u;
  }
}

using SpanFn = void (*)(uint8_t*, int, uint32_t);
using RowBlitFn = void (*)(const uint32_t*, uint32_t*, int);
using CopyFn = void (*)(uint8_t*, const uint8_t*, size_t, int, ptrdiff_t);

// ---- 640 x 480 blended box at alpha 128 (the fade overlay) ----
void fade_box_with(benchmark::State& state, SpanFn span) {
  for (auto _ : state) {
    for (int y = 0; y < kHeight; ++y)
      span(reinterpret_cast<uint8_t*>(row(page_a, y)), kWidth, kFadeColour);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPageBytes);
}
void fade_box_pixman_fill(benchmark::State& state) {
  const pixman_color_t c = pixman_colour(kFadeColour);
  const pixman_rectangle16_t box = {0, 0, kWidth, kHeight};
  for (auto _ : state) {
    pixman_image_fill_rectangles(PIXMAN_OP_OVER, image_a, &c, 1, &box);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPageBytes);
}
void fade_box_pixman_composite(benchmark::State& state) {
  const pixman_color_t c = pixman_colour(kFadeColour);
  pixman_image_t* solid = pixman_image_create_solid_fill(&c);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, solid, nullptr, image_a, 0, 0, 0, 0, 0, 0, kWidth,
                             kHeight);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(solid);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPageBytes);
}
void page_memset(benchmark::State& state) {
  for (auto _ : state) {
    std::memset(page_a, 0, kPageBytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPageBytes);
}

// ---- 640 x 480 clear to opaque black (480 plain spans) ----
void clear_with(benchmark::State& state, SpanFn span) {
  for (auto _ : state) {
    for (int y = 0; y < kHeight; ++y)
      span(reinterpret_cast<uint8_t*>(row(page_a, y)), kWidth, 0xFF000000u);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPageBytes);
}
// The same boxes as one span over the back-to-back rows, as a full-width box could be drawn.
void page_span_with(benchmark::State& state, SpanFn span, uint32_t colour) {
  for (auto _ : state) {
    span(reinterpret_cast<uint8_t*>(page_a), kWidth * kHeight, colour);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPageBytes);
}
void clear_pixman_fill(benchmark::State& state) {
  for (auto _ : state) {
    pixman_fill(page_a, kWidth, 32, 0, 0, kWidth, kHeight, 0xFF000000u);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPageBytes);
}

// ---- the 16 raster bars of a frame: 640-pixel blended lines ----
void bars_with(benchmark::State& state, SpanFn span) {
  for (auto _ : state) {
    for (const Bar& b : bars) span(reinterpret_cast<uint8_t*>(row(page_a, b.y)), kWidth, b.colour);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 16 * kWidth * 4);
}
void bars_pixman(benchmark::State& state) {
  pixman_color_t colours[16];
  for (int k = 0; k < 16; ++k) colours[k] = pixman_colour(bars[k].colour);
  for (auto _ : state) {
    for (int k = 0; k < 16; ++k) {
      const pixman_rectangle16_t line = {0, static_cast<int16_t>(bars[k].y), kWidth, 1};
      pixman_image_fill_rectangles(PIXMAN_OP_OVER, image_a, &colours[k], 1, &line);
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 16 * kWidth * 4);
}
void bars_memset(benchmark::State& state) {
  for (auto _ : state) {
    for (const Bar& b : bars) std::memset(row(page_a, b.y), 0, kWidth * 4);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 16 * kWidth * 4);
}

// ---- the header wobble: 128 strips of 512 pixels blended by their own alpha ----
const uint32_t* strip_source(int i) {
  return header_pixels + static_cast<ptrdiff_t>(std::min(i, kHeaderRows - 1)) * header_pitch_words;
}
void header_with(benchmark::State& state, RowBlitFn blit) {
  for (auto _ : state) {
    for (int i = 0; i < kStrips; ++i)
      blit(strip_source(i), row(page_a, kFirstStripRow + i) + strip_x[i], kStripWidth);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kStrips * kStripWidth * 4);
}
void header_pixman(benchmark::State& state) {
  for (auto _ : state) {
    for (int i = 0; i < kStrips; ++i)
      pixman_image_composite32(PIXMAN_OP_OVER, header_image, nullptr, image_a, 0,
                               std::min(i, kHeaderRows - 1), 0, 0, strip_x[i], kFirstStripRow + i,
                               kStripWidth, 1);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kStrips * kStripWidth * 4);
}
void header_memcpy(benchmark::State& state) {
  for (auto _ : state) {
    for (int i = 0; i < kStrips; ++i)
      std::memcpy(row(page_a, kFirstStripRow + i) + strip_x[i], strip_source(i), kStripWidth * 4);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kStrips * kStripWidth * 4);
}

// ---- the 640 x 480 page copy ----
void copy_with(benchmark::State& state, CopyFn copy) {
  for (auto _ : state) {
    copy(reinterpret_cast<uint8_t*>(page_b), reinterpret_cast<const uint8_t*>(page_a), kWidth * 4,
         kHeight, kWidth * 4);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPageBytes);
}
void copy_pixman_blt(benchmark::State& state) {
  for (auto _ : state) {
    pixman_blt(page_a, page_b, kWidth, kWidth, 32, 32, 0, 0, 0, 0, kWidth, kHeight);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPageBytes);
}
void copy_pixman_composite(benchmark::State& state) {
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, image_a, nullptr, image_b, 0, 0, 0, 0, 0, 0, kWidth,
                             kHeight);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPageBytes);
}
void copy_memcpy(benchmark::State& state) {
  for (auto _ : state) {
    std::memcpy(page_b, page_a, kPageBytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPageBytes);
}

void register_all() {
  const PixelKernels& chosen = pixel_kernels();
  // "fast" is what the intro runs; the levels beside it show what each one gains.
  struct Level {
    std::string name;
    const PixelKernels* kernels;
  };
  std::vector<Level> levels = {{"fast", &chosen}};
  for (KernelLevel l :
       {KernelLevel::Scalar, KernelLevel::Sse2, KernelLevel::Avx2, KernelLevel::Avx512})
    if (const PixelKernels* k = pixel_kernels_for(l)) levels.push_back({k->name, k});

  for (const Level& l : levels)
    benchmark::RegisterBenchmark(("fade_box/" + l.name).c_str(), fade_box_with,
                                 l.kernels->span_blend);
  benchmark::RegisterBenchmark("fade_box/one_span", page_span_with, chosen.span_blend, kFadeColour);
  benchmark::RegisterBenchmark("fade_box/pixman_fill", fade_box_pixman_fill);
  benchmark::RegisterBenchmark("fade_box/pixman_composite", fade_box_pixman_composite);
  benchmark::RegisterBenchmark("fade_box/memset", page_memset);

  for (const Level& l : levels)
    benchmark::RegisterBenchmark(("clear/" + l.name).c_str(), clear_with, l.kernels->span_fill);
  benchmark::RegisterBenchmark("clear/one_span", page_span_with, chosen.span_fill, 0xFF000000u);
  benchmark::RegisterBenchmark("clear/pixman_fill", clear_pixman_fill);
  benchmark::RegisterBenchmark("clear/memset", page_memset);

  for (const Level& l : levels)
    benchmark::RegisterBenchmark(("bars/" + l.name).c_str(), bars_with, l.kernels->span_blend);
  benchmark::RegisterBenchmark("bars/pixman_fill", bars_pixman);
  benchmark::RegisterBenchmark("bars/memset", bars_memset);

  for (const Level& l : levels)
    benchmark::RegisterBenchmark(("header/" + l.name).c_str(), header_with,
                                 l.kernels->alpha_blit_row);
  benchmark::RegisterBenchmark("header/pixman_composite", header_pixman);
  benchmark::RegisterBenchmark("header/memcpy", header_memcpy);

  for (const Level& l : levels)
    benchmark::RegisterBenchmark(("copy/" + l.name).c_str(), copy_with, l.kernels->copy_rows);
  benchmark::RegisterBenchmark("copy/pixman_blt", copy_pixman_blt);
  benchmark::RegisterBenchmark("copy/pixman_composite", copy_pixman_composite);
  benchmark::RegisterBenchmark("copy/memcpy", copy_memcpy);
}

}  // namespace

int main(int argc, char** argv) {
  setup();
  std::fprintf(stderr, "kernels: %s; header picture: %s\n", pixel_kernels().name,
               header_is_real ? "header.bmp" : "synthetic (header.bmp not found)");
  register_all();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
