#include "platform/code_page_437.h"

#include <gtest/gtest.h>

namespace {
// The first and last bytes of the upper half, and text of two- and three-byte sequences.
TEST(CodePage437, AsciiPassesThroughAndTheUpperHalfIsLookedUp) {
  EXPECT_EQ(utf8_to_code_page_437("Hello, 1!"), "Hello, 1!");
  EXPECT_EQ(code_page_437_byte(0x00C7), 0x80);                                   // Ç
  EXPECT_EQ(code_page_437_byte(0x00A0), 0xFF);                                   // no-break space
  EXPECT_EQ(utf8_to_code_page_437("\xC3\xA4\xC3\xB6\xC3\xBC"), "\x84\x94\x81");  // äöü
  EXPECT_EQ(utf8_to_code_page_437("\xE2\x82\xA7"), "\x9E");                      // peseta sign
}

TEST(CodePage437, MissingCharactersAndBadTextBecomeQuestionMarks) {
  EXPECT_EQ(code_page_437_byte(0x20AC), '?');                 // euro sign
  EXPECT_EQ(utf8_to_code_page_437("\xF0\x9F\x98\x80"), "?");  // emoji
  EXPECT_EQ(utf8_to_code_page_437("a\xC3z"), "a?z");          // cut sequence
  EXPECT_EQ(utf8_to_code_page_437("\xC0\xAF"), "?");          // overlong '/'
  EXPECT_EQ(utf8_to_code_page_437("\xFF"), "?");
}
}  // namespace
