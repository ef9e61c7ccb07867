#include "platform/display_driver.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
struct FakeScreen {
  std::vector<uint32_t> page = std::vector<uint32_t>(640 * 480, 0xFF000000u);
  uint32_t* visible = page.data();
  std::vector<uint8_t> dirty = std::vector<uint8_t>(480, 0);
  uint8_t keys[128] = {};
  int refresh_rate = -1;
  DisplayView view{&visible, dirty.data(), keys, &refresh_rate, 640, 480, 640 * 4};
};

// Refusing without a display, and saying why in one line, is checked on the program itself.
TEST(SdlDisplay, RefusesPalettePages) {
  FakeScreen screen;
  EXPECT_NE(SdlDisplayDriver.start("t", 640, 480, 8, 0, 0xC0, &screen.view), 0);
  EXPECT_STRNE(display_error(), "");
}
}  // namespace
