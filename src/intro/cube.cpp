#include "intro/cube.h"

#include <cmath>

#include "gfx/primitives.h"

float SineTable[TRIG_TABLE_SIZE];
float CosineTable[TRIG_TABLE_SIZE];

const int32_t CubeVertexTable[24] = {-32, 32, 32,  32, 32, 32,  32, -32, 32,  -32, -32, 32,
                                     -32, 32, -32, 32, 32, -32, 32, -32, -32, -32, -32, -32};
Vertex3 CubeModel[9];
Vertex3 CubeRotated[9];
ScreenPoint CubeProjected[9];

namespace {

constexpr int kEdges[12][2] = {{1, 2}, {2, 3}, {3, 4}, {4, 1}, {5, 6}, {6, 7},
                               {7, 8}, {8, 5}, {1, 5}, {2, 6}, {3, 7}, {4, 8}};

// Rounds to nearest, ties to even, into an int that stays defined for any input.
int32_t round_to_int(double v) {
  const double r = std::nearbyint(v);
  if (!(r > -2147483648.0)) return INT32_MIN;
  if (!(r < 2147483647.0)) return INT32_MAX;
  return static_cast<int32_t>(r);
}

uint32_t colour_channel(double phase) {
  return static_cast<uint32_t>(std::nearbyint(64.0 * std::sin(phase) + 128.0));
}

}  // namespace

void build_trig_tables() {
  for (int k = 0; k < TRIG_TABLE_SIZE; ++k) {
    const double angle = k * 0.01224;
    SineTable[k] = static_cast<float>(std::sin(angle));
    CosineTable[k] = static_cast<float>(std::cos(angle));
  }
}

void init_cube(Vertex3* model) {
  for (int v = 1; v <= 8; ++v) {
    const int32_t* t = &CubeVertexTable[3 * (v - 1)];
    model[v] = {static_cast<float>(2 * t[0]), static_cast<float>(2 * t[1]),
                static_cast<float>(2 * t[2])};
  }
}

void rotate_vertices(int32_t a, int32_t b, int32_t c, const Vertex3* src, Vertex3* dst) {
  const double sa = SineTable[a], ca = CosineTable[a];
  const double sb = SineTable[b], cb = CosineTable[b];
  const double sc = SineTable[c], cc = CosineTable[c];
  for (int v = 1; v <= 8; ++v) {
    Vertex3 p = src[v];
    // Each new coordinate is stored as a float before the next step reads it.
    const float y1 = static_cast<float>(ca * p.y - sa * p.z);
    const float z1 = static_cast<float>(sa * p.y + ca * p.z);
    const float x1 = static_cast<float>(cb * p.x - sb * z1);
    const float z2 = static_cast<float>(sb * p.x + cb * z1);
    const float x2 = static_cast<float>(cc * x1 - sc * y1);
    const float y2 = static_cast<float>(sc * x1 + cc * y1);
    dst[v] = {x2, y2, z2};
  }
}

void project_vertices(const Vertex3* src, ScreenPoint* dst) {
  for (int v = 1; v <= 8; ++v) {
    const double s = 300.0 / (300.0 - src[v].z);
    dst[v].x = round_to_int(src[v].x * s + 320.0);
    dst[v].y = round_to_int(src[v].y * s + 280.0);
  }
}

void draw_cube_edges(Color colour, const ScreenPoint* points) {
  for (const auto& edge : kEdges) {
    const ScreenPoint& p = points[edge[0]];
    const ScreenPoint& q = points[edge[1]];
    draw_line(nullptr, static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(q.x),
              static_cast<float>(q.y), colour, LINE_KIND_LINE, 0xFFFF, 0);
  }
}

void draw_cube(int32_t frame) {
  for (int32_t i = 1; i <= 4; ++i) {
    // Formed in 64 bits and kept non-negative, so that a frame counter near its limit can never
    // index outside the tables.
    const int64_t step = static_cast<int64_t>(i) + frame;
    const auto k =
        static_cast<int32_t>(((step % TRIG_TABLE_SIZE) + TRIG_TABLE_SIZE) % TRIG_TABLE_SIZE);
    rotate_vertices(k, k, k, CubeModel, CubeRotated);
    project_vertices(CubeRotated, CubeProjected);
    const double t = static_cast<double>(step);
    const uint32_t r = colour_channel(0.04 * t);
    const uint32_t g = colour_channel(0.03 * t);
    const uint32_t b = colour_channel(0.02 * t);
    const auto a = static_cast<uint32_t>(i * (64 / i));
    draw_cube_edges(a << 24 | r << 16 | g << 8 | b, CubeProjected);
  }
}
