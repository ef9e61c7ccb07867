// The starfield's draws and re-entry (the cube is pinned by the golden frames).
#include "intro/starfield.h"

#include <gtest/gtest.h>

#include "gfx/null_screen.h"
#include "support/random.h"

namespace {

using Stars = NullScreen;

// The draws of seed 99, worked out with an independent MT19937: 0.41176 and 0.99636 place star
// 1; draws 6144 to 6147, 0.79755 0.82137 0.72729 0.22008, respawn stars 5 and 9.
TEST_F(Stars, DrawInOrderAndRespawnWithTwoDraws) {
  seed_random(99);
  init_starfield();
  EXPECT_EQ(Starfield.x[1], 264.0f);  // 263.52 rounded
  EXPECT_EQ(Starfield.y[1], 717.0f);  // 956.51 rounded, less 240
  EXPECT_EQ(Starfield.depth[2048], 164.0f);
  for (int i = 1; i <= STAR_COUNT; ++i) Starfield.x[i] = 0.0f;
  // Star 5 at the far edge moves past it and respawns in the same frame; star 9 is near.
  Starfield.x[5] = 640.0f;
  Starfield.depth[5] = 256.0f;
  Starfield.x[9] = 639.5f;
  Starfield.y[9] = 100.0f;
  Starfield.depth[9] = 48.0f;
  draw_starfield(0);  // frame 0: no sway
  EXPECT_EQ(Starfield.x[5], 0.0f);
  EXPECT_EQ(Starfield.y[5], 526.0f);
  EXPECT_EQ(Starfield.depth[5], 219.0f);
  EXPECT_EQ(Starfield.y[9], 458.0f);
  EXPECT_EQ(Starfield.depth[9], 94.0f);
  // A depth-48 star moving to x = 600 shows grey D0 (the other stars are near the left edge).
  Starfield.x[9] = 600.0f - static_cast<float>(256.0 / 48.0);
  Starfield.y[9] = 10.0f;
  Starfield.depth[9] = 48.0f;
  draw_starfield(0);
  EXPECT_EQ(pixel(0, 600, 10), 0xFFD0D0D0u);
}

}  // namespace
