#include "gfx/fast_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "gfx/draw_context.h"
#include "gfx/write_rules.h"

namespace {

// Lengths up to a few vectors, 640 and whole pages, at every offset, between guard pixels.
constexpr int kOffsets = 9, kGuard = 16;
const std::vector<int> kLengths = [] {
  std::vector<int> v;
  for (int n = -1; n <= 80; ++n) v.push_back(n);
  for (int n : {127, 128, 129, 511, 512, 513, 639, 640, 641, 4095, 4096, 4097, 5003})
    v.push_back(n);
  return v;
}();

std::vector<uint32_t> random_pixels(std::mt19937& rng, size_t n) {
  std::vector<uint32_t> v(n);
  for (auto& p : v) p = rng();
  return v;
}

class FastPaths : public ::testing::TestWithParam<KernelLevel> {
 protected:
  void SetUp() override {
    kernels_ = pixel_kernels_for(GetParam());
    if (!kernels_) GTEST_SKIP() << kernel_level_name(GetParam()) << ": this processor lacks them";
  }
  const PixelKernels* kernels_ = nullptr;
};

// Fill, blend and alpha blit against the scalar references on the same random rows; colours
// with edge alphas (0, 1, 128, 255, ...), blit sources with clear runs covering whole vectors.
TEST_P(FastPaths, RowsEqualTheReferencesAtEveryOffsetLengthAndAlpha) {
  using Span = void (*)(uint8_t*, int, uint32_t);
  const std::pair<Span, Span> spans[] = {{span_fill_reference, kernels_->span_fill},
                                         {span_blend_reference, kernels_->span_blend}};
  static constexpr uint32_t kAlphas[] = {0x00, 0x01, 0x80, 0xFF, 0xFE, 0x7F};
  std::mt19937 rng(1);
  int i = 0;
  for (int src_offset = 0; src_offset < kOffsets; ++src_offset) {
    for (int offset = 0; offset < kOffsets; ++offset) {
      for (int n : kLengths) {
        const auto count = static_cast<size_t>(std::max(n, 0));
        auto expected = random_pixels(rng, kGuard + offset + count + kGuard), actual = expected;
        uint32_t* const e = expected.data() + kGuard + offset;
        uint32_t* const a = actual.data() + kGuard + offset;
        SCOPED_TRACE(testing::Message() << "offsets " << src_offset << "/" << offset << " n " << n);
        if (src_offset % 3 == 0) {
          std::vector<uint32_t> src(src_offset + count);
          for (size_t k = 0; k < src.size(); ++k) {
            const uint32_t rgb = rng() & 0xFFFFFFu, run = k / 11 % 4;
            src[k] = run == 0 ? rgb : run == 1 ? 0xFF000000u | rgb : rng();
          }
          alpha_blit_row_reference(src.data() + src_offset, e, n);
          kernels_->alpha_blit_row(src.data() + src_offset, a, n);
          ASSERT_EQ(actual, expected);
        }
        if (src_offset != 0) continue;
        for (auto [reference, kernel] : spans) {
          const uint32_t colour = ++i % 12 < 6 ? kAlphas[i % 12] << 24 | (rng() >> 8) : rng();
          reference(reinterpret_cast<uint8_t*>(e), n, colour);
          kernel(reinterpret_cast<uint8_t*>(a), n, colour);
          ASSERT_EQ(actual, expected) << std::hex << "colour " << colour;
        }
      }
    }
  }
}

TEST_P(FastPaths, CopyRowsCopiesOnlyTheRectangle) {
  std::mt19937 rng(6);
  constexpr ptrdiff_t kPitch = 64;
  const auto words = random_pixels(rng, kPitch * 8 / 4);
  const auto* from = reinterpret_cast<const uint8_t*>(words.data());
  // Start, row bytes and rows: rows back to back, narrower rows at an offset, nothing.
  const int cases[][3] = {{0, 64, 8}, {64, 64, 3}, {4, 20, 7}, {60, 1, 5}, {0, 64, 0}, {8, 0, 4}};
  for (const auto& [start, bytes, rows] : cases) {
    std::vector<uint8_t> expected(kPitch * 8, 0xA5), actual = expected;
    copy_rows_reference(expected.data() + start, from + start, bytes, rows, kPitch);
    kernels_->copy_rows(actual.data() + start, from + start, bytes, rows, kPitch);
    ASSERT_EQ(actual, expected) << "start " << start << " bytes " << bytes;
  }
}

INSTANTIATE_TEST_SUITE_P(AllLevels, FastPaths, ::testing::ValuesIn(kAllKernelLevels),
                         [](const auto& info) {
                           return std::string(kernel_level_name(info.param));
                         });

// The widest level is the default, and write rules chosen after a switch use the new level.
TEST(KernelChoice, WidestByDefaultAndWriteRulesFollowASwitch) {
  std::string ran = " ", skipped = " ";
  for (KernelLevel level : kAllKernelLevels)
    (pixel_kernels_for(level) ? ran : skipped) += std::string(kernel_level_name(level)) + " ";
  std::printf("pixel kernel levels tested:%sskipped:%s\n", ran.c_str(), skipped.c_str());
  const PixelKernels& chosen = pixel_kernels();
  EXPECT_TRUE(std::getenv("INTRO_KERNELS") ||
              ran.ends_with(std::string(" ") + kernel_level_name(chosen.level) + " "))
      << ran;
  DrawContext ctx;
  ASSERT_TRUE(use_pixel_kernels(KernelLevel::Scalar));
  use_blend_rules(ctx);
  EXPECT_EQ(ctx.write_span, &span_blend_reference);
  ASSERT_TRUE(use_pixel_kernels(chosen.level));
  use_blend_rules(ctx);
  EXPECT_EQ(ctx.write_span, chosen.span_blend);
  use_plain_rules(ctx, 4);
  EXPECT_EQ(ctx.write_span, chosen.span_fill);
}

}  // namespace
