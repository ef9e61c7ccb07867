#include <SDL2/SDL_scancode.h>
#include <gtest/gtest.h>

#include "platform/sdl/scan_codes.h"

namespace {
TEST(ScanCodes, MainBlockAndExtendedKeysThatShareTheirBaseCode) {
  const struct {
    SDL_Scancode sdl;
    int scan;
    bool extended;
  } keys[] = {
      {SDL_SCANCODE_LALT, 56, false},    {SDL_SCANCODE_RALT, 56, true},
      {SDL_SCANCODE_F4, 62, false},      {SDL_SCANCODE_LCTRL, 29, false},
      {SDL_SCANCODE_RCTRL, 29, true},    {SDL_SCANCODE_RETURN, 28, false},
      {SDL_SCANCODE_KP_ENTER, 28, true}, {SDL_SCANCODE_KP_DIVIDE, 53, true},
      {SDL_SCANCODE_UP, 72, true},       {SDL_SCANCODE_KP_8, 72, false},
      {SDL_SCANCODE_DELETE, 83, true},   {SDL_SCANCODE_ESCAPE, 1, false},
      {SDL_SCANCODE_1, 2, false},        {SDL_SCANCODE_0, 11, false},
      {SDL_SCANCODE_Q, 16, false},       {SDL_SCANCODE_A, 30, false},
      {SDL_SCANCODE_Z, 44, false},       {SDL_SCANCODE_SPACE, 57, false},
      {SDL_SCANCODE_F1, 59, false},      {SDL_SCANCODE_F10, 68, false},
      {SDL_SCANCODE_F11, 87, false},     {SDL_SCANCODE_F12, 88, false},
      {SDL_SCANCODE_UNKNOWN, 0, false},  {SDL_SCANCODE_AUDIOPLAY, 0, false},
  };
  for (const auto& key : keys) {
    const PcScanCode pc = pc_scan_code(key.sdl);
    EXPECT_EQ(pc.scan, key.scan) << "SDL scancode " << key.sdl;
    EXPECT_EQ(pc.extended, key.extended) << "SDL scancode " << key.sdl;
  }
}

TEST(ScanCodes, EveryCodeInRangeAndUnknownKeysAreNotExtended) {
  for (int sdl = -1; sdl <= SDL_NUM_SCANCODES; ++sdl) {
    const PcScanCode pc = pc_scan_code(sdl);
    ASSERT_GE(pc.scan, 0);
    ASSERT_LT(pc.scan, 128);
    if (pc.scan == 0) {
      EXPECT_FALSE(pc.extended);
    }
  }
}
}  // namespace
