// The rasterizer against a plain reference: the same rules written the straightforward way, with
// 128-bit integers throughout, every row stepped one by one from the top corner, and no shortcuts.
// Whole frames and depth buffers (guard bands included) must come out identical.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <utility>

#include "canvas.hpp"
#include "render3d/rasterizer.hpp"

#ifdef __SIZEOF_INT128__

namespace {

using r3dtest::Canvas;
using r3dtest::vertex;
using render3d::MeshVertex;
using render3d::Vec3;

using Wide = __int128;

Wide truncated(double v) {
  if (v <= -2147483648.0) return -2147483648LL;
  if (v >= 2147483647.0) return 2147483647LL;
  return static_cast<Wide>(std::trunc(v));
}

struct RefCorner {
  double sx, sy, t;
  std::uint32_t colour;
};

// The five quantities x, z, r, g, b of an edge.
struct Q {
  Wide v[5];
};

void reference_span(render3d::RenderTarget f, Wide y, const Q& a, const Q& b) {
  const Q& left = a.v[0] <= b.v[0] ? a : b;
  const Q& right = a.v[0] <= b.v[0] ? b : a;
  Wide xl = left.v[0];
  const Wide xr = right.v[0] + 1;
  const Wide w = xr - xl;
  Wide start[5], inc[5];
  for (int k = 1; k < 5; ++k) {
    start[k] = left.v[k];
    inc[k] = (right.v[k] - left.v[k]) * 256 / w;
  }
  if (xl < 0) {
    for (int k = 1; k < 5; ++k) start[k] = start[k] - ((inc[k] * xl) >> 8);
    xl = 0;
  }
  const Wide c0 = xl >> 8;
  const Wide c1 = std::min<Wide>(xr >> 8, f.width - 2);
  if (c1 <= 0 || c0 >= f.width - 1) return;
  const auto at = [&](Wide c, Wide row) { return static_cast<std::size_t>(row * f.width + c); };
  if (c0 > 0 && f.depth[at(c0 - 1, y)] == 0) f.frame[at(c0 - 1, y)] = 0x010101u;
  if (f.depth[at(c1 + 1, y)] == 0) f.frame[at(c1 + 1, y)] = 0x010101u;
  for (Wide c = c0; c <= c1; ++c) {
    if (y > 0 && f.depth[at(c, y - 1)] == 0) f.frame[at(c, y - 1)] = 0x010101u;
    if (y < f.height - 2 && f.depth[at(c, y + 1)] == 0) f.frame[at(c, y + 1)] = 0x010101u;
    const Wide zp = start[1] >> 8;
    if (static_cast<Wide>(f.depth[at(c, y)]) < zp) {
      f.depth[at(c, y)] = static_cast<std::uint16_t>(static_cast<std::uint64_t>(zp & 0xFFFF));
      std::uint32_t rgb = 0;
      for (int k = 2; k < 5; ++k) {
        const Wide ch = start[k] >> 8;
        rgb = (rgb << 8) | static_cast<std::uint32_t>(ch <= 0 ? 0 : ch >= 255 ? 255 : ch);
      }
      f.frame[at(c, y)] = rgb | 0x010101u;
    }
    for (int k = 1; k < 5; ++k) start[k] += inc[k];
  }
}

void reference_fill(render3d::RenderTarget f, RefCorner p[3]) {
  for (int i = 0; i < 3; ++i)
    if (std::isnan(p[i].sx) || std::isnan(p[i].sy)) return;
  if (p[1].sy < p[0].sy) std::swap(p[0], p[1]);
  if (p[2].sy < p[1].sy) std::swap(p[1], p[2]);
  if (p[1].sy < p[0].sy) std::swap(p[0], p[1]);
  const int hw = f.width / 2, hh = f.height / 2;
  if (p[0].sy >= hh || p[2].sy < -hh) return;
  Wide X[3], Y[3], C[3][4];  // C: Z, R, G, B
  for (int i = 0; i < 3; ++i) {
    X[i] = truncated(p[i].sx) + hw;
    Y[i] = truncated(p[i].sy) + hh;
    C[i][0] = truncated(p[i].t * 65536.0) % 65536;
    C[i][1] = (p[i].colour >> 16) & 255;
    C[i][2] = (p[i].colour >> 8) & 255;
    C[i][3] = p[i].colour & 255;
  }
  if (Y[2] == Y[0]) return;
  const auto corner = [&](int i) {
    return Q{{X[i] * 256, C[i][0] * 256, C[i][1] * 256, C[i][2] * 256, C[i][3] * 256}};
  };
  const auto steps = [&](int from, int to) {
    Q s;
    const Q a = corner(from), b = corner(to);
    for (int k = 0; k < 5; ++k) s.v[k] = (b.v[k] - a.v[k]) / (Y[to] - Y[from]);
    return s;
  };
  const auto run = [&](Wide y0, Wide y1, Q& a, const Q& ai, Q& b, const Q& bi) {
    for (Wide y = y0; y < y1; ++y) {
      if (y >= f.height) return false;
      if (y >= 0) reference_span(f, y, a, b);
      for (int k = 0; k < 5; ++k) {
        a.v[k] += ai.v[k];
        b.v[k] += bi.v[k];
      }
    }
    return true;
  };
  Q b = corner(0);
  const Q bi = steps(0, 2);
  if (Y[1] > Y[0]) {
    Q a = corner(0);
    if (!run(Y[0], Y[1], a, steps(0, 1), b, bi)) return;
  }
  if (Y[2] > Y[1]) {
    const Wide up = Y[1] - Y[0], down = Y[2] - Y[1], all = Y[2] - Y[0];
    b.v[0] = (X[2] * up + X[0] * down) / all * 256;
    b.v[1] = (C[2][0] * up + C[0][0] * down) / all * 256;
    for (int k = 1; k < 4; ++k) b.v[k + 1] = C[0][k] * down * 256 / all + C[2][k] * up * 256 / all;
    Q a = corner(1);
    run(Y[1], Y[2], a, steps(1, 2), b, bi);
  }
}

RefCorner reference_project(const MeshVertex& v, double k, int width, int height) {
  if (v.position.z > 1.0) {
    const double t = 1.0 / v.position.z;
    return {t * k * v.position.x, t * k * v.position.y, t, v.colour};
  }
  return {-static_cast<double>(width), -static_cast<double>(height), 1.0, v.colour};
}

void reference_coil(Canvas& c, const MeshVertex& a, const MeshVertex& b, const MeshVertex& d,
                    double zoom) {
  const MeshVertex* v[3] = {&a, &b, &d};
  for (const MeshVertex* p : v)
    if (p->position.z < 1.0) return;
  const Vec3 s = a.position + b.position + d.position, t = a.normal + b.normal + d.normal;
  if (t.y * s.y + t.z * s.z + t.x * s.x > 15.0) return;
  const int hw = c.width() / 2, hh = c.height() / 2;
  for (const MeshVertex* p : v) {
    if (p->position.x < -3.0 * hw || p->position.x >= 3.0 * hw) return;
    if (p->position.y < -3.0 * hh || p->position.y >= 3.0 * hh) return;
  }
  const double k = zoom * std::min(hw, hh);
  RefCorner r[3];
  for (int i = 0; i < 3; ++i) r[i] = reference_project(*v[i], k, c.width(), c.height());
  reference_fill(c.target(), r);
}

void reference_blob(Canvas& c, const MeshVertex& a, const MeshVertex& b, const MeshVertex& d,
                    const Vec3& normal) {
  const MeshVertex* v[3] = {&a, &b, &d};
  for (const MeshVertex* p : v)
    if (p->position.z < 1.0) return;
  if (normal.z < -0.3) return;
  const double k = std::min(c.width() / 2, c.height() / 2);
  RefCorner r[3];
  for (int i = 0; i < 3; ++i) r[i] = reference_project(*v[i], k, c.width(), c.height());
  reference_fill(c.target(), r);
}

void expect_same(const Canvas& ours, const Canvas& ref, const char* what) {
  EXPECT_TRUE(ours.guards_intact()) << what;
  EXPECT_TRUE(ours.frame_words() == ref.frame_words()) << what;
  EXPECT_TRUE(ours.depth_words() == ref.depth_words()) << what;
}

TEST(RasterReference, NearCornerInALargeFrame) {
  // A corner at z = 1.01 beside far ones at z = 10: depths 64887 and 6553 across spans of a few
  // hundred pixels, so the per-pixel depth step (difference * 65536 / w) passes 32 bits.
  for (const double near_z : {1.01, 1.0001, 1.2}) {
    Canvas ours(640, 480), ref(640, 480);
    const MeshVertex a = vertex(0.02, -0.01, near_z, 0xFF2000u);
    const MeshVertex b = vertex(9.0, 4.0, 10.0, 0x00FF40u);
    const MeshVertex d = vertex(-6.0, 7.5, 10.0, 0x3000FFu);
    render3d::draw_triangle(ours.target(), a, b, d, render3d::ViewFacingRules{1.0});
    reference_coil(ref, a, b, d, 1.0);
    render3d::draw_triangle(ours.target(), d, vertex(-3.0, -8.0, 1.05, 0x808080u), a,
                            render3d::FaceNormalRules{{0.0, 0.0, 1.0}});
    reference_blob(ref, d, vertex(-3.0, -8.0, 1.05, 0x808080u), a, {0.0, 0.0, 1.0});
    expect_same(ours, ref, "near corner");
  }
}

TEST(RasterReference, TriangleSpanningOverFortyThousandRows) {
  // Corners 45000 rows above and 30000 below a 96 x 64 frame, at different depths and colours, so
  // every recomputed long-edge product passes 32 bits; the reference steps through every row.
  Canvas ours(96, 64), ref(96, 64);
  const MeshVertex a = vertex(0.7, -1500.0, 1.0 + 1.0 / 3.0, 0xF01008u);
  const MeshVertex b = vertex(1.9, 0.1, 2.5, 0x10F080u);
  const MeshVertex d = vertex(-2.3, 2000.0, 1.5, 0x0810F0u);
  render3d::draw_triangle(ours.target(), a, b, d, render3d::FaceNormalRules{{0.0, 0.0, 0.0}});
  reference_blob(ref, a, b, d, {0.0, 0.0, 0.0});
  // And one whose upper half alone lies far above the frame.
  const MeshVertex e = vertex(-0.4, -2400.0, 1.2, 0xFFFFFFu);
  const MeshVertex g = vertex(0.9, -0.3, 1.6, 0x000000u);
  const MeshVertex h = vertex(-1.1, 0.4, 1.9, 0x7F3F1Fu);
  render3d::draw_triangle(ours.target(), e, g, h, render3d::FaceNormalRules{{0.0, 0.0, 0.0}});
  reference_blob(ref, e, g, h, {0.0, 0.0, 0.0});
  expect_same(ours, ref, "tall triangles");
  EXPECT_NE(ours.frame_words(), Canvas(96, 64).frame_words());
}

// Corners drawn from a small grid (so equal rows, equal columns and exact pixel positions are
// common) or anywhere, at depths that include exactly 1, over frames of assorted sizes, eight
// triangles per frame so that depth tests and outline marks meet earlier fills.
TEST(RasterReference, RandomTrianglesMatchFrameForFrame) {
  std::mt19937 rng(20240611u);
  std::uniform_real_distribution<double> anywhere(-1.5, 1.5);
  std::uniform_int_distribution<int> grid(-12, 12);
  std::uniform_real_distribution<double> depth(1.0, 6.0);
  std::uniform_int_distribution<std::uint32_t> colour(0u, 0xFFFFFFu);
  std::uniform_real_distribution<double> normal(-0.6, 0.6);
  const std::int32_t sizes[][2] = {{23, 17}, {40, 30}, {8, 9}, {3, 40}, {2, 5}, {1, 1}, {64, 4}};
  const auto corner = [&] {
    const int pick = static_cast<int>(rng() % 8);
    const double z = pick == 0  ? 1.0
                     : pick < 3 ? std::ldexp(1.0, static_cast<int>(rng() % 3))
                                : depth(rng);
    const double reach = pick == 7 ? 6.0 : 1.0;
    const double x = pick < 5 ? grid(rng) * z / 8.0 : anywhere(rng) * reach * z;
    const double y = pick < 5 ? grid(rng) * z / 8.0 : anywhere(rng) * reach * z;
    return vertex(x, y, z, colour(rng), {normal(rng), normal(rng), normal(rng)});
  };
  int differing = 0;
  for (int round = 0; round < 3000; ++round) {
    const auto& size = sizes[round % 7];
    Canvas ours(size[0], size[1], colour(rng));
    const Canvas before = ours;
    Canvas ref = ours;
    for (int n = 0; n < 8; ++n) {
      const MeshVertex a = corner(), b = corner(), d = corner();
      if (round % 2 == 0) {
        const double zoom = 0.5 + (rng() % 4) * 0.25;
        render3d::draw_triangle(ours.target(), a, b, d, render3d::ViewFacingRules{zoom});
        reference_coil(ref, a, b, d, zoom);
      } else {
        const Vec3 fn{0.0, 0.0, normal(rng)};
        render3d::draw_triangle(ours.target(), a, b, d, render3d::FaceNormalRules{fn});
        reference_blob(ref, a, b, d, fn);
      }
    }
    differing += ours.frame_words() != before.frame_words();
    expect_same(ours, ref, "random round");
    if (HasFailure()) {
      ADD_FAILURE() << "round " << round;
      return;
    }
  }
  EXPECT_GT(differing, 1500);
}

}  // namespace

#endif  // __SIZEOF_INT128__
