#include "plain_rasterizer.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace apebench {
namespace {

constexpr float kFixed = 65536.0f;       // 16.16 steps along a span
constexpr float kDepthUnits = 65535.0f;  // depth 1 / z in (0, 1] to 16 bits

// The five quantities an edge carries from row to row, and their steps.
struct EdgeWalk {
  float x, z, r, g, b;
  float dx, dz, dr, dg, db;

  // From corner a down to corner b, starting at the centre of row `row`: one division per edge.
  EdgeWalk(const ScreenCorner& from, const ScreenCorner& to, int row) {
    const float per_row = 1.0f / (to.y - from.y);
    dx = (to.x - from.x) * per_row;
    dz = (to.depth - from.depth) * per_row;
    dr = (to.r - from.r) * per_row;
    dg = (to.g - from.g) * per_row;
    db = (to.b - from.b) * per_row;
    const float pre = static_cast<float>(row) + 0.5f - from.y;
    x = from.x + dx * pre, z = from.depth + dz * pre, r = from.r + dr * pre, g = from.g + dg * pre,
    b = from.b + db * pre;
  }
  void step() { x += dx, z += dz, r += dr, g += dg, b += db; }
};

void span(std::uint32_t* frame, std::uint16_t* depth, int width, const EdgeWalk& p,
          const EdgeWalk& q) {
  const EdgeWalk& l = p.x <= q.x ? p : q;
  const EdgeWalk& e = p.x <= q.x ? q : p;
  int c = static_cast<int>(std::ceil(l.x - 0.5f));
  int end = static_cast<int>(std::ceil(e.x - 0.5f));
  if (c < 0) c = 0;
  if (end > width) end = width;
  if (c >= end) return;
  const float per_pixel = 1.0f / (e.x - l.x);  // one division per span
  const float pre = static_cast<float>(c) + 0.5f - l.x;
  const auto fixed_step = [&](float a, float b, float scale) {
    return static_cast<std::int32_t>((b - a) * per_pixel * scale);
  };
  const std::int32_t dz = fixed_step(l.z, e.z, kDepthUnits * kFixed);
  const std::int32_t dr = fixed_step(l.r, e.r, kFixed), dg = fixed_step(l.g, e.g, kFixed),
                     db = fixed_step(l.b, e.b, kFixed);
  std::uint32_t z = static_cast<std::uint32_t>((l.z * kDepthUnits) * kFixed + dz * pre);
  std::int32_t r = static_cast<std::int32_t>(l.r * kFixed + dr * pre);
  std::int32_t g = static_cast<std::int32_t>(l.g * kFixed + dg * pre);
  std::int32_t b = static_cast<std::int32_t>(l.b * kFixed + db * pre);
  for (; c < end; ++c) {
    const std::uint32_t zp = z >> 16;
    if (zp > depth[c]) {
      depth[c] = static_cast<std::uint16_t>(zp);
      frame[c] = ((r >> 16) & 0xFF) << 16 | ((g >> 16) & 0xFF) << 8 | ((b >> 16) & 0xFF);
    }
    z += static_cast<std::uint32_t>(dz), r += dr, g += dg, b += db;
  }
}

}  // namespace

void plain_draw_triangle(std::uint32_t* frame, std::uint16_t* depth, int width, int height,
                         const ScreenTriangle& triangle) {
  const ScreenCorner* v[3] = {&triangle.corner[0], &triangle.corner[1], &triangle.corner[2]};
  if (v[1]->y < v[0]->y) std::swap(v[0], v[1]);
  if (v[2]->y < v[1]->y) std::swap(v[1], v[2]);
  if (v[1]->y < v[0]->y) std::swap(v[0], v[1]);
  // Rows whose centre lies in [y0, y1) belong to the upper half, [y1, y2) to the lower.
  const auto first_row = [](float y) { return static_cast<int>(std::ceil(y - 0.5f)); };
  const int top = std::max(first_row(v[0]->y), 0);
  const int middle = std::min(std::max(first_row(v[1]->y), 0), height);
  const int bottom = std::min(first_row(v[2]->y), height);
  if (top >= bottom) return;
  EdgeWalk long_edge(*v[0], *v[2], top);
  if (top < middle) {
    EdgeWalk upper(*v[0], *v[1], top);
    for (int y = top; y < middle; ++y, long_edge.step(), upper.step())
      span(frame + y * width, depth + y * width, width, long_edge, upper);
  }
  if (std::max(middle, top) < bottom) {
    const int start = std::max(middle, top);
    EdgeWalk lower(*v[1], *v[2], start);
    for (int y = start; y < bottom; ++y, long_edge.step(), lower.step())
      span(frame + y * width, depth + y * width, width, long_edge, lower);
  }
}

}  // namespace apebench
