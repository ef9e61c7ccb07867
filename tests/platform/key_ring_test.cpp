#include <gtest/gtest.h>

#include <string>

#include "platform/keyboard.h"

namespace {
class KeyRing : public ::testing::Test {
 protected:
  void SetUp() override { reset_keyboard(); }
};

TEST_F(KeyRing, FifteenFitAndOfTwentyTheLastFifteenStayInOrder) {
  EXPECT_EQ(read_key(), "");
  for (int i = 1; i <= 15; ++i) push_key(i);
  for (int i = 1; i <= 15; ++i) EXPECT_EQ(pop_key(), i);
  EXPECT_EQ(pop_key(), 0);
  for (int i = 0; i < 20; ++i) push_key('a' + i);
  for (int i = 5; i < 20; ++i) EXPECT_EQ(read_key(), std::string(1, static_cast<char>('a' + i)));
  EXPECT_EQ(read_key(), "");
}

TEST_F(KeyRing, SpecialCodesReadAsTwoBytes) {
  push_key(CLOSE_KEY_CODE);
  push_key(0x3BFF);
  push_key(0xE9);  // a code page 437 character above 127 stays one byte
  EXPECT_EQ(read_key(), std::string("\xFF\x6B", 2));
  EXPECT_EQ(read_key(), std::string("\xFF\x3B", 2));
  EXPECT_EQ(read_key(), std::string("\xE9", 1));
}

TEST_F(KeyRing, KeyHitFlagSetByPushClearedByPopAndTake) {
  push_key('x');
  EXPECT_EQ(take_key_hit(), 1);
  EXPECT_EQ(take_key_hit(), 0);
  push_key('y');
  EXPECT_EQ(pop_key(), 'x');
  EXPECT_EQ(take_key_hit(), 0);  // the pop cleared it though a key is still waiting
  EXPECT_EQ(pop_key(), 'y');
  push_key('z');
  reset_keyboard();
  EXPECT_EQ(take_key_hit(), 0);
  EXPECT_EQ(pop_key(), 0);
}
}  // namespace
