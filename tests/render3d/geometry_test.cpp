// The shared vector and sound helpers: sound windows, rotation order and the normalising threshold.

#include "render3d/geometry.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "render3d/trig.hpp"
#include "render3d/vec3.hpp"

namespace {

using render3d::Vec3;

// Channel 1 counts up from 10, channel 2 down from 250, so every index and channel reads
// differently.
std::array<std::uint8_t, 1152> sound_block() {
  std::array<std::uint8_t, 1152> d{};
  for (int i = 0; i < 576; ++i) {
    d[i] = static_cast<std::uint8_t>((10 + i * 3) & 255);
    d[576 + i] = static_cast<std::uint8_t>((250 - i * 5) & 255);
  }
  return d;
}

TEST(SampleSound, ZeroWidthReadsOneClampedIndex) {
  auto d = sound_block();
  d[575] = 77;
  d[576 + 575] = 201;
  EXPECT_EQ(render3d::sample_sound(d.data(), 1.0, 0.0, 1), 77);
  EXPECT_EQ(render3d::sample_sound(d.data(), 1.0, -0.0, 2), 201);
  EXPECT_EQ(render3d::sample_sound(d.data(), 5.0, 0.0, 1), 77);
  EXPECT_EQ(render3d::sample_sound(d.data(), -0.5, 0.0, 2), d[576]);
  // Other channel values average the two, truncating: (d[288] + d[864]) >> 1.
  d[288] = 255;
  d[576 + 288] = 254;
  EXPECT_EQ(render3d::sample_sound(d.data(), 0.5, 0.0, 0), 254);
  EXPECT_EQ(render3d::sample_sound(d.data(), 0.5, 0.0, 3), 254);
  EXPECT_EQ(render3d::sample_sound(d.data(), 0.5, 0.0, -1), 254);
}

TEST(SampleSound, WindowsAreCentredClampedAndNeverEmpty) {
  auto d = sound_block();
  d[0] = 10;
  d[1] = 13;
  d[2] = 200;
  // x = 0, w = 0.007: start trunc(-2.016) -> 0, end trunc(2.016) = 2: indices 0 and 1, 23 / 2.
  EXPECT_EQ(render3d::sample_sound(d.data(), 0.0, 0.007, 1), 11);
  // Wholly beyond the block: start clamps to 575 and the window is that one sample.
  d[575] = 42;
  EXPECT_EQ(render3d::sample_sound(d.data(), 2.0, 0.01, 1), 42);
  // A window of 0.1 around 0.5 covers trunc(0.9 * 288) = 259 .. trunc(1.1 * 288) - 1 = 315.
  const auto e = sound_block();
  int sum = 0;
  for (int i = 259; i < 316; ++i) sum += e[576 + i];
  EXPECT_EQ(render3d::sample_sound(e.data(), 0.5, 0.1, 2), sum / 57);
  // Channel 0 averages each sample pair with >> 1 before summing.
  sum = 0;
  for (int i = 259; i < 316; ++i) sum += (e[i] + e[576 + i]) >> 1;
  EXPECT_EQ(render3d::sample_sound(e.data(), 0.5, 0.1, 0), sum / 57);
}

TEST(RotateVec3, QuarterTurnInTheXYPlane) {
  Vec3 v{1.0, 0.0, 0.0};
  render3d::rotate_vec3(v, 0.0, 0.0, std::numbers::pi / 2);
  EXPECT_NEAR(v.x, 0.0, 1e-15);
  EXPECT_NEAR(v.y, -1.0, 1e-15);
  EXPECT_NEAR(v.z, 0.0, 1e-15);
  Vec3 w{0.3, -0.7, 1.9};
  render3d::rotate_vec3(w, 0.0, 0.0, 0.0);
  EXPECT_EQ(w.x, 0.3);
  EXPECT_EQ(w.y, -0.7);
  EXPECT_EQ(w.z, 1.9);
}

TEST(RotateVec3, AppliesXZThenYZThenXY) {
  const double a1 = 0.4, a2 = -1.1, a3 = 2.3;
  // Row-major 3 x 3 matrices acting on (x, y, z), one per plane.
  using M = std::array<std::array<double, 3>, 3>;
  const double c1 = render3d::trig::cos(a1), s1 = render3d::trig::sin(a1);
  const double c2 = render3d::trig::cos(a2), s2 = render3d::trig::sin(a2);
  const double c3 = render3d::trig::cos(a3), s3 = render3d::trig::sin(a3);
  const M xz{{{c2, 0, -s2}, {0, 1, 0}, {s2, 0, c2}}};
  const M yz{{{1, 0, 0}, {0, c1, -s1}, {0, s1, c1}}};
  const M xy{{{c3, s3, 0}, {-s3, c3, 0}, {0, 0, 1}}};
  const auto apply = [](const M& m, std::array<double, 3> v) {
    std::array<double, 3> r{};
    for (int i = 0; i < 3; ++i) r[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
    return r;
  };
  const std::array<double, 3> expected = apply(xy, apply(yz, apply(xz, {0.5, -1.25, 2.0})));
  Vec3 v{0.5, -1.25, 2.0};
  render3d::rotate_vec3(v, a1, a2, a3);
  EXPECT_NEAR(v.x, expected[0], 1e-12);
  EXPECT_NEAR(v.y, expected[1], 1e-12);
  EXPECT_NEAR(v.z, expected[2], 1e-12);
  // The order matters for these angles: y-z first would land elsewhere.
  const std::array<double, 3> swapped = apply(xy, apply(xz, apply(yz, {0.5, -1.25, 2.0})));
  EXPECT_GT(std::abs(swapped[0] - expected[0]) + std::abs(swapped[2] - expected[2]), 0.1);
}

TEST(Normalise, ShortVectorsStayUnscaled) {
  Vec3 shorter{0.03, 0.0, 0.0};
  render3d::normalise(shorter);
  EXPECT_EQ(shorter.x, 0.03);
  Vec3 limit{0.05, 0.0, 0.0};
  render3d::normalise(limit);
  EXPECT_DOUBLE_EQ(limit.x, 1.0);
  Vec3 v{0.0, -3.0, 4.0};
  render3d::normalise(v);
  EXPECT_DOUBLE_EQ(v.y, -0.6);
  EXPECT_DOUBLE_EQ(v.z, 0.8);
  Vec3 zero{0.0, 0.0, 0.0};
  render3d::normalise(zero);
  EXPECT_EQ(zero.x + zero.y + zero.z, 0.0);
}

}  // namespace
