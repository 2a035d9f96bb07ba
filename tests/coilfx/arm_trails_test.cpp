// The arm trails: the beat pulse of trail 0 and the direction history of all six.

#include <gtest/gtest.h>

#include <numbers>
#include <vector>

#include "coil_fixtures.hpp"

namespace {

using coilfx::kTrailLength;
using coilfx::Vec3;

std::vector<std::uint32_t> pulses(const coilfx::CoilEffect& e, int count = kTrailLength) {
  std::vector<std::uint32_t> out;
  for (int i = 0; i < count; ++i) out.push_back(e.trails[i].colour);
  return out;
}

std::vector<std::uint32_t> padded(std::vector<std::uint32_t> head) {
  head.resize(kTrailLength, 0);
  return head;
}

TEST(ArmTrails, OneBeatPulseSpreadsAndFadesOutward) {
  auto e = coiltest::make_effect(1);
  e->update_trails(1);
  EXPECT_EQ(pulses(*e), padded({255}));
  e->update_trails(0);
  EXPECT_EQ(pulses(*e), padded({0, 255, 247, 207, 127, 47, 7}));
  e->update_trails(0);
  EXPECT_EQ(pulses(*e), padded({0, 0, 7, 46, 124, 193, 203, 158, 95, 43, 13, 2}));
}

TEST(ArmTrails, ABeatOnEveryFrameFillsTheTrailWith255) {
  auto e = coiltest::make_effect(1);
  for (int f = 0; f < 3; ++f) e->update_trails(1);
  EXPECT_EQ(pulses(*e), padded({255, 255, 255, 254, 252, 241, 211, 158, 95, 43, 13, 2}));
  for (int f = 3; f < kTrailLength; ++f) e->update_trails(7);  // any nonzero flag is a beat
  EXPECT_EQ(pulses(*e), std::vector<std::uint32_t>(kTrailLength, 255));
}

void expect_near(const Vec3& v, const Vec3& want) {
  EXPECT_NEAR(v.x, want.x, 1e-12);
  EXPECT_NEAR(v.y, want.y, 1e-12);
  EXPECT_NEAR(v.z, want.z, 1e-12);
}

TEST(ArmTrails, HeadsAreTheAxesTurnedAboutYThenXThenZ) {
  constexpr double kQuarter = std::numbers::pi / 2;
  auto e = coiltest::make_effect(1);
  auto head = [&](int k) { return e->trails[k * kTrailLength].position; };

  // One angle at a time, so that a mix-up of the angles shows.
  e->rotation[0] = kQuarter;  // about X: +z goes to -y
  e->rotation[1] = 0.0;
  e->rotation[2] = 0.0;
  e->update_trails(0);
  expect_near(head(4), {0, -1, 0});
  expect_near(head(2), {0, 0, 1});

  e->rotation[0] = 0.0;  // about Y: +x goes to +z
  e->rotation[1] = kQuarter;
  e->update_trails(0);
  expect_near(head(0), {0, 0, 1});
  expect_near(head(5), {1, 0, 0});

  e->rotation[1] = 0.0;  // about Z: +x goes to -y
  e->rotation[2] = kQuarter;
  e->update_trails(0);
  expect_near(head(0), {0, -1, 0});
  expect_near(head(3), {-1, 0, 0});

  // Y first, then X: +x goes to +z, which then goes to -y.
  e->rotation[0] = kQuarter;
  e->rotation[1] = kQuarter;
  e->rotation[2] = 0.0;
  e->update_trails(0);
  expect_near(head(0), {0, -1, 0});
}

TEST(ArmTrails, HistoryMovesOutwardOneEntryPerFrame) {
  auto e = coiltest::make_effect(1);
  e->rotation[0] = 0.3;
  e->rotation[1] = -1.1;
  e->rotation[2] = 2.5;
  e->update_trails(0);
  // First frame: only the heads hold directions, an orthogonal cross of unit vectors.
  for (int k = 0; k < coilfx::kArmCount; ++k) {
    const coilfx::MeshVertex* trail = &e->trails[k * kTrailLength];
    EXPECT_NEAR(render3d::length(trail[0].position), 1.0, 1e-12);
    for (int i = 1; i < kTrailLength; ++i) {
      ASSERT_EQ(render3d::length(trail[i].position), 0.0) << "trail " << k << " entry " << i;
    }
  }
  const Vec3 first0 = e->trails[0].position;
  EXPECT_NEAR(render3d::dot(first0, e->trails[2 * kTrailLength].position), 0.0, 1e-12);
  expect_near(e->trails[kTrailLength].position, first0 * -1.0);

  const Vec3 first4 = e->trails[4 * kTrailLength].position;
  e->rotation[0] += 0.2;
  e->update_trails(0);
  e->update_trails(0);
  EXPECT_EQ(e->trails[2].position.x, first0.x);
  EXPECT_EQ(e->trails[2].position.z, first0.z);
  EXPECT_EQ(e->trails[4 * kTrailLength + 2].position.y, first4.y);
  EXPECT_GT(coiltest::distance(e->trails[0].position, first0), 0.1);
}

}  // namespace
