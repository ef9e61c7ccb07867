#pragma once
// 2048 grey stars drifting right, swaying together, re-entering at the left.
#include <cstdint>

constexpr int STAR_COUNT = 2048;
constexpr int32_t STAR_START_SPEED = 256;

struct StarfieldData {
  float x[STAR_COUNT + 1];  // star i uses index i; index 0 is unused
  float y[STAR_COUNT + 1];
  float depth[STAR_COUNT + 1];  // whole numbers 48..256
  int32_t speed;
};
extern StarfieldData Starfield;

void init_starfield();
void draw_starfield(int32_t frame);
