#pragma once
// The program's icon, made from the header picture at build time: 0xAARRGGBB pixels,
// IntroIconSize by IntroIconSize.
#include <cstdint>

extern const int IntroIconSize;
extern const uint32_t IntroIcon[];
