#include "gfx/fast_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "gfx/draw_context.h"
#include "gfx/write_rules.h"

namespace {

// Spans start at every pixel offset within a 32-byte line and have every length up to a few
// vectors, plus the intro's 640; the buffer keeps guard pixels on both sides.
constexpr int kOffsets = 9;
constexpr int kGuard = 16;
const std::vector<int> kLengths = [] {
  std::vector<int> v;
  for (int n = -1; n <= 80; ++n) v.push_back(n);
  for (int n : {127, 128, 129, 511, 512, 513, 639, 640, 641}) v.push_back(n);
  // Long spans take other routes (a whole page filled as one span).
  for (int n : {4095, 4096, 4097, 5003}) v.push_back(n);
  return v;
}();

std::vector<uint32_t> random_pixels(std::mt19937& rng, size_t n) {
  std::vector<uint32_t> v(n);
  for (auto& p : v) p = rng();
  return v;
}

// Source rows mixing transparent runs (long enough to cover whole vectors), opaque pixels and
// random alpha.
std::vector<uint32_t> blit_source(std::mt19937& rng, size_t n) {
  std::vector<uint32_t> v(n);
  for (size_t i = 0; i < n; ++i) {
    const uint32_t rgb = rng() & 0x00FFFFFFu, run = i / 11 % 4;
    v[i] = run == 0 ? rgb : run == 1 ? 0xFF000000u | rgb : rng();
  }
  return v;
}

class FastPaths : public ::testing::TestWithParam<KernelLevel> {
 protected:
  void SetUp() override {
    kernels_ = pixel_kernels_for(GetParam());
    if (kernels_ == nullptr)
      GTEST_SKIP() << kernel_level_name(GetParam())
                   << " kernels skipped: this processor lacks them";
  }
  const PixelKernels* kernels_ = nullptr;
};

// Fill and blend against their references on the same random rows, with colours whose alpha
// covers the edges (0, 1, 128, 255, ...) as well as random values.
TEST_P(FastPaths, SpansEqualTheReferencesAtEveryOffsetLengthAndAlpha) {
  using Span = void (*)(uint8_t*, int, uint32_t);
  const std::pair<Span, Span> kernels[] = {{span_fill_reference, kernels_->span_fill},
                                           {span_blend_reference, kernels_->span_blend}};
  static constexpr uint32_t kAlphas[] = {0x00, 0x01, 0x80, 0xFF, 0xFE, 0x7F};
  std::mt19937 rng(1);
  int i = 0;
  for (auto [reference, kernel] : kernels) {
    for (int offset = 0; offset < kOffsets; ++offset) {
      for (int n : kLengths) {
        const size_t size = static_cast<size_t>(kGuard + offset + std::max(n, 0) + kGuard);
        auto expected = random_pixels(rng, size), actual = expected;
        const uint32_t colour = ++i % 12 < 6 ? kAlphas[i % 12] << 24 | (rng() >> 8) : rng();
        reference(reinterpret_cast<uint8_t*>(expected.data() + kGuard + offset), n, colour);
        kernel(reinterpret_cast<uint8_t*>(actual.data() + kGuard + offset), n, colour);
        ASSERT_EQ(actual, expected) << std::hex << "colour " << colour << std::dec << " offset "
                                    << offset << " length " << n;
      }
    }
  }
}

TEST_P(FastPaths, AlphaBlitRowEqualsReferenceAtIndependentAlignments) {
  std::mt19937 rng(4);
  for (int src_offset = 0; src_offset < kOffsets; src_offset += 3) {
    for (int dst_offset = 0; dst_offset < kOffsets; ++dst_offset) {
      for (int n : kLengths) {
        const size_t count = static_cast<size_t>(std::max(n, 0));
        const auto src = blit_source(rng, static_cast<size_t>(src_offset) + count);
        auto expected = random_pixels(rng, static_cast<size_t>(2 * kGuard + dst_offset) + count);
        auto actual = expected;
        alpha_blit_row_reference(src.data() + src_offset, expected.data() + kGuard + dst_offset, n);
        kernels_->alpha_blit_row(src.data() + src_offset, actual.data() + kGuard + dst_offset, n);
        ASSERT_EQ(actual, expected)
            << "src offset " << src_offset << " dst offset " << dst_offset << " length " << n;
      }
    }
  }
}

TEST_P(FastPaths, CopyRowsCopiesOnlyTheRectangle) {
  std::mt19937 rng(6);
  constexpr ptrdiff_t kPitch = 64;
  const auto words = random_pixels(rng, kPitch * 8 / 4);
  const auto* from = reinterpret_cast<const uint8_t*>(words.data());
  // Start, row bytes and rows: full-width rows back to back, narrower rows at an offset, zero
  // rows and zero bytes.
  const int cases[][3] = {{0, 64, 8}, {64, 64, 3}, {4, 20, 7}, {60, 1, 5}, {0, 64, 0}, {8, 0, 4}};
  for (const auto& [start, bytes, rows] : cases) {
    const auto row_bytes = static_cast<size_t>(bytes);
    std::vector<uint8_t> expected(kPitch * 8, 0xA5), actual = expected;
    copy_rows_reference(expected.data() + start, from + start, row_bytes, rows, kPitch);
    kernels_->copy_rows(actual.data() + start, from + start, row_bytes, rows, kPitch);
    ASSERT_EQ(actual, expected) << "start " << start << " bytes " << bytes;
  }
}

INSTANTIATE_TEST_SUITE_P(AllLevels, FastPaths, ::testing::ValuesIn(kAllKernelLevels),
                         [](const ::testing::TestParamInfo<KernelLevel>& info) {
                           return std::string(kernel_level_name(info.param));
                         });

// Names the levels the tests above ran and skipped. How a requested level is chosen is checked
// end to end with the golden frames.
TEST(KernelChoice, TheWidestLevelIsTheDefault) {
  std::string ran, skipped;
  KernelLevel widest = KernelLevel::Scalar;
  for (KernelLevel level : kAllKernelLevels) {
    (pixel_kernels_for(level) ? ran : skipped) += std::string(" ") + kernel_level_name(level);
    if (pixel_kernels_for(level)) widest = level;
  }
  std::printf("pixel kernel levels tested:%s; skipped for want of the processor:%s\n", ran.c_str(),
              skipped.empty() ? " none" : skipped.c_str());
  if (!std::getenv("INTRO_KERNELS")) {
    EXPECT_EQ(pixel_kernels().level, widest);
  }
}

TEST(KernelChoice, WriteRulesChosenAfterASwitchUseTheNewLevel) {
  const PixelKernels& chosen = pixel_kernels();
  ASSERT_TRUE(use_pixel_kernels(KernelLevel::Scalar));
  EXPECT_EQ(pixel_kernels().level, KernelLevel::Scalar);
  DrawContext ctx;
  use_blend_rules(ctx);
  EXPECT_EQ(ctx.write_span, &span_blend_reference);
  ASSERT_TRUE(use_pixel_kernels(chosen.level));
  use_blend_rules(ctx);
  EXPECT_EQ(ctx.write_span, chosen.span_blend);
  use_plain_rules(ctx, 4);
  EXPECT_EQ(ctx.write_span, chosen.span_fill);
}

}  // namespace
