// Words of an independent MT19937 seeded s[i] = s[i-1] * 1664525 + 1013904223 from s[0] = seed.
#include "support/random.h"

#include <gtest/gtest.h>

#include <array>

TEST(Random, WordsMatchIndependentImplementationAcrossTwistsAndUnitScalesThem) {
  // Words 0, 1, 2, 623 (the last of the first twist), 624 (the first of the second) and 999.
  const std::pair<uint32_t, std::array<uint32_t, 6>> expected[] = {
      {0u, {0x5481674du, 0x543bdda3u, 0x8850ca87u, 0x2cbb8853u, 0x7557773au, 0x361ea547u}},
      {1u, {0x795f26a8u, 0x88418262u, 0xa40cfb36u, 0x681c5378u, 0x1b50a393u, 0xbda1ff6au}},
      {12345u, {0x0cc85a7eu, 0x641e9339u, 0x69492bbdu, 0x8e65b565u, 0xe55f2a32u, 0x34d3f768u}},
      {0xFFFFFFFFu,
       {0x5cca2556u, 0x9fac4118u, 0xe55566a8u, 0xcef4ff7bu, 0x0439a524u, 0x65b51fe1u}}};
  for (const auto& [seed, want] : expected) {
    seed_random(seed);
    uint32_t words[1000];
    for (uint32_t& w : words) w = random_word();
    EXPECT_EQ((std::array{words[0], words[1], words[2], words[623], words[624], words[999]}), want)
        << "seed " << seed;
  }
  // random_unit is the next word times 2^-32, and reseeding restarts the sequence.
  seed_random(42);
  EXPECT_DOUBLE_EQ(random_unit(), 0.8665110266301781);
  EXPECT_DOUBLE_EQ(random_unit(), 0.12584477826021612);
  seed_random(42);
  EXPECT_DOUBLE_EQ(random_unit(), 0.8665110266301781);
}
