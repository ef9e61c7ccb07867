#include <SDL2/SDL_scancode.h>
#include <gtest/gtest.h>

#include "platform/sdl/scan_codes.h"

namespace {
void expect_pc(SDL_Scancode sdl, int scan, bool extended) {
  const PcScanCode pc = pc_scan_code(sdl);
  EXPECT_EQ(pc.scan, scan) << "SDL scancode " << sdl;
  EXPECT_EQ(pc.extended, extended) << "SDL scancode " << sdl;
}

TEST(ScanCodes, KeysTheIntroWatches) {
  expect_pc(SDL_SCANCODE_LALT, 56, false);
  expect_pc(SDL_SCANCODE_RALT, 56, true);
  expect_pc(SDL_SCANCODE_F4, 62, false);
}

TEST(ScanCodes, ExtendedKeysShareTheirBaseCode) {
  expect_pc(SDL_SCANCODE_LCTRL, 29, false);
  expect_pc(SDL_SCANCODE_RCTRL, 29, true);
  expect_pc(SDL_SCANCODE_RETURN, 28, false);
  expect_pc(SDL_SCANCODE_KP_ENTER, 28, true);
  expect_pc(SDL_SCANCODE_KP_DIVIDE, 53, true);
  expect_pc(SDL_SCANCODE_UP, 72, true);
  expect_pc(SDL_SCANCODE_KP_8, 72, false);
  expect_pc(SDL_SCANCODE_DELETE, 83, true);
}

TEST(ScanCodes, MainBlock) {
  expect_pc(SDL_SCANCODE_ESCAPE, 1, false);
  expect_pc(SDL_SCANCODE_1, 2, false);
  expect_pc(SDL_SCANCODE_0, 11, false);
  expect_pc(SDL_SCANCODE_Q, 16, false);
  expect_pc(SDL_SCANCODE_A, 30, false);
  expect_pc(SDL_SCANCODE_Z, 44, false);
  expect_pc(SDL_SCANCODE_SPACE, 57, false);
  expect_pc(SDL_SCANCODE_F1, 59, false);
  expect_pc(SDL_SCANCODE_F10, 68, false);
  expect_pc(SDL_SCANCODE_F11, 87, false);
  expect_pc(SDL_SCANCODE_F12, 88, false);
}

TEST(ScanCodes, EveryCodeInRangeAndUnknownKeysGiveZero) {
  for (int sdl = -1; sdl <= SDL_NUM_SCANCODES; ++sdl) {
    const PcScanCode pc = pc_scan_code(sdl);
    ASSERT_GE(pc.scan, 0);
    ASSERT_LT(pc.scan, 128);
    if (pc.scan == 0) {
      EXPECT_FALSE(pc.extended);
    }
  }
  expect_pc(SDL_SCANCODE_UNKNOWN, 0, false);
  expect_pc(SDL_SCANCODE_AUDIOPLAY, 0, false);
}
}  // namespace
