#pragma once
// The rotating wireframe cube with three translucent trailing copies, and its trig tables.
#include <cstdint>

#include "gfx/color.h"

constexpr int TRIG_TABLE_SIZE = 512;
extern float SineTable[TRIG_TABLE_SIZE];
extern float CosineTable[TRIG_TABLE_SIZE];

struct Vertex3 {
  float x, y, z;
};
struct ScreenPoint {
  int32_t x, y;
};

extern const int32_t CubeVertexTable[24];
// Index 1..8; index 0 unused.
extern Vertex3 CubeModel[9];
extern Vertex3 CubeRotated[9];
extern ScreenPoint CubeProjected[9];

void build_trig_tables();
void init_cube(Vertex3* model);
// a, b, c: table indices 0..511 for the rotations about x, y and z.
void rotate_vertices(int32_t a, int32_t b, int32_t c, const Vertex3* src, Vertex3* dst);
void project_vertices(const Vertex3* src, ScreenPoint* dst);
void draw_cube_edges(Color colour, const ScreenPoint* points);
void draw_cube(int32_t frame);
