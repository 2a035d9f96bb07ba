// The arm mesh: index layout, ring placement and radii, the short-vector rules and the winding.

#include <gtest/gtest.h>

#include "coil_fixtures.hpp"

namespace {

using coilfx::CoilEffect;
using coilfx::kHubPoint;
using coilfx::MeshVertex;
using coilfx::Vec3;

const MeshVertex& corner(const CoilEffect& e, int arm, int ring, int j) {
  return e.vertices[124 * arm + 4 + 4 * ring + j];
}

Vec3 ring_centre(const CoilEffect& e, int arm, int ring) {
  Vec3 sum{0, 0, 0};
  for (int j = 0; j < 4; ++j) sum += corner(e, arm, ring, j).position;
  return sum * 0.25;
}

// A freshly built figure: one trail update (straight arms along the turned axes), then the mesh.
std::unique_ptr<CoilEffect> straight_figure(double zoom) {
  auto e = coiltest::make_effect(5);
  e->rotation[0] = 0.4;
  e->rotation[1] = 0.9;
  e->rotation[2] = -0.6;
  e->zoom = zoom;
  e->update_trails(0);
  e->build_arms();
  return e;
}

TEST(ArmGeometry, FillsAllVerticesAndFacesInTheArmByArmLayout) {
  auto e = straight_figure(1.0);
  ASSERT_EQ(e->vertex_count, 744);
  ASSERT_EQ(e->face_count, 1440);
  for (int k = 0; k < 6; ++k) {
    for (int h = 0; h < 4; ++h) {
      const MeshVertex& hub = e->vertices[124 * k + h];
      EXPECT_EQ(hub.position.x, kHubPoint.x);
      EXPECT_EQ(hub.position.y, kHubPoint.y);
      EXPECT_EQ(hub.position.z, kHubPoint.z);
      EXPECT_EQ(hub.colour, 0u);
    }
    for (int i = 0; i < 30; ++i) {
      const int prev = i == 0 ? 124 * k : 124 * k + 4 + 4 * (i - 1);
      const int cur = 124 * k + 4 + 4 * i;
      for (int j = 0; j < 4; ++j) {
        const int j1 = (j + 1) % 4;
        const auto& first = e->faces[240 * k + 8 * i + 2 * j].vertex_index;
        const auto& second = e->faces[240 * k + 8 * i + 2 * j + 1].vertex_index;
        ASSERT_EQ(first[0], prev + j) << "arm " << k << " ring " << i << " side " << j;
        ASSERT_EQ(first[1], prev + j1);
        ASSERT_EQ(first[2], cur + j);
        ASSERT_EQ(second[0], cur + j1);
        ASSERT_EQ(second[1], cur + j);
        ASSERT_EQ(second[2], prev + j1);
      }
    }
  }
}

TEST(ArmGeometry, RingsSpaceOutAlongTheArmAndTaperToAPoint) {
  for (double zoom : {1.0, 1.18}) {
    auto e = straight_figure(zoom);
    for (int k = 0; k < 6; ++k) {
      const Vec3 axis = e->trails[30 * k].position;
      // Every corner offset is measured from its ring's centre, so no axis may be near the Y axis.
      ASSERT_GT(axis.x * axis.x + axis.z * axis.z, 0.05) << "arm " << k;
      for (int i = 0; i < 30; ++i) {
        const Vec3 centre = ring_centre(*e, k, i);
        const double along = (i * zoom) * 0.7241379310344828;
        const Vec3 want = kHubPoint + axis * along;
        EXPECT_NEAR(coiltest::distance(centre, want), 0.0, 1e-12) << "arm " << k << " ring " << i;
        const double radius = (1.0 - i / 29.0) * 1.7;
        for (int j = 0; j < 4; ++j) {
          EXPECT_NEAR(coiltest::distance(corner(*e, k, i, j).position, centre), radius, 1e-12);
        }
      }
      EXPECT_NEAR(coiltest::distance(ring_centre(*e, k, 29), kHubPoint), 21.0 * zoom, 1e-12);
    }
    const double r0 = coiltest::distance(corner(*e, 0, 0, 0).position, ring_centre(*e, 0, 0));
    const double r1 = coiltest::distance(corner(*e, 0, 1, 2).position, ring_centre(*e, 0, 1));
    const double r28 = coiltest::distance(corner(*e, 0, 28, 3).position, ring_centre(*e, 0, 28));
    EXPECT_NEAR(r0, 1.7, 1e-12);
    EXPECT_NEAR(r1, 1.7 * 28 / 29, 1e-12);
    EXPECT_NEAR(r28, 1.7 / 29, 1e-12);
  }
}

TEST(ArmGeometry, RingPlacesAreExactToTheLastBit) {
  // Arm 0 along +x: the sum is (i + 1, 0, 0), the offset of corner 0 is (0, 0, -1) times the
  // radius.
  auto e = coiltest::make_effect(5);
  e->rotation[0] = e->rotation[1] = e->rotation[2] = 0.0;
  e->zoom = 1.18;
  for (int f = 0; f < 30; ++f) e->update_trails(0);
  e->build_arms();
  for (int i = 0; i < 30; ++i) {
    const double n = i + 1.0;  // |sum| and |offset| before scaling
    const Vec3 p = corner(*e, 0, i, 0).position;
    EXPECT_EQ(p.x, n * (((i * 1.18) * 0.7241379310344828) / n)) << "ring " << i;
    EXPECT_EQ(p.z, 23.0 + -n * (((i * -0.034482758620689655 + 1.0) / n) * 1.7)) << "ring " << i;
  }
}

TEST(ArmGeometry, AnArmAlongTheYAxisCollapsesToItsCentreLine) {
  auto e = coiltest::make_effect(5);
  e->rotation[0] = e->rotation[1] = e->rotation[2] = 0.0;
  e->zoom = 1.0;
  e->update_trails(0);
  e->build_arms();
  // Arm 2 points along +y: both cross-section axes are zero, so no corner moves off the centre.
  for (int i = 0; i < 30; ++i) {
    const Vec3 want{0.0, (i * 1.0) * 0.7241379310344828, 23.0};
    for (int j = 0; j < 4; ++j) {
      EXPECT_EQ(coiltest::distance(corner(*e, 2, i, j).position, want), 0.0) << "ring " << i;
    }
  }
}

// Writes a direction into entry `entry` of trail 0.
void set_direction(CoilEffect& e, int entry, Vec3 v) { e.trails[entry].position = v; }

TEST(ArmGeometry, ShortVectorsAreUsedAsTheyStandButExactly005IsRescaled) {
  auto e = coiltest::make_effect(5);
  e->zoom = 1.0;
  // Ring 0 sums only entry 0; its length 0.05 counts as long, so the centre goes to the hub
  // (len 0). Corner 0's offset (sz, 0, -sx) is exactly 0.05 long too and is scaled to 1.7.
  set_direction(*e, 0, {0.05, 0.0, 0.0});
  // Ring 1: the sum (0.02, 0, 0.01) is too short to be scaled: the centre is hub + sum, and the
  // offsets (0.01, 0, -0.02) and (0, -0.0005, 0) stay as they are.
  set_direction(*e, 1, {-0.03, 0.0, 0.01});
  e->build_arms();

  const Vec3 c0 = ring_centre(*e, 0, 0);
  EXPECT_NEAR(coiltest::distance(c0, kHubPoint), 0.0, 1e-12);
  EXPECT_NEAR(coiltest::distance(corner(*e, 0, 0, 0).position, c0), 1.7, 1e-12);

  const Vec3 c1 = ring_centre(*e, 0, 1);
  EXPECT_NEAR(coiltest::distance(c1, Vec3{0.02, 0.0, 23.01}), 0.0, 1e-12);
  EXPECT_NEAR(coiltest::distance(corner(*e, 0, 1, 0).position, c1 + Vec3{0.01, 0.0, -0.02}), 0.0,
              1e-12);
  EXPECT_NEAR(coiltest::distance(corner(*e, 0, 1, 1).position, c1 + Vec3{0.0, -0.0005, 0.0}), 0.0,
              1e-12);
}

TEST(ArmGeometry, EveryArmTakesItsHighlightFromTrailZero) {
  auto e = coiltest::make_effect(5);
  e->update_trails(0);
  e->trails[5].colour = 200;
  e->trails[30 * 3 + 5].colour = 99;  // trail 3's own pulse is never read
  e->build_arms();
  for (int k = 0; k < 6; ++k) {
    for (int j = 0; j < 4; ++j) {
      EXPECT_EQ(corner(*e, k, 5, j).colour, 200u);
      EXPECT_EQ(corner(*e, k, 4, j).colour, 0u);
    }
  }
}

// For every proper triangle of rings 1..29 of every arm, the face normal (P0 - P1) x (P2 - P1)
// points away from the arm's centre line between the two rings it joins.
void expect_outward_winding(const CoilEffect& e) {
  int checked = 0;
  for (int k = 0; k < 6; ++k) {
    for (int i = 1; i < 30; ++i) {
      const Vec3 axis_point = (ring_centre(e, k, i - 1) + ring_centre(e, k, i)) * 0.5;
      for (int t = 0; t < 8; ++t) {
        const auto& idx = e.faces[240 * k + 8 * i + t].vertex_index;
        const Vec3 p0 = e.vertices[idx[0]].position;
        const Vec3 p1 = e.vertices[idx[1]].position;
        const Vec3 p2 = e.vertices[idx[2]].position;
        const Vec3 n = render3d::cross(p0 - p1, p2 - p1);
        if (render3d::length(n) < 1e-9) continue;  // the tip's closing triangles
        const Vec3 middle = (p0 + p1 + p2) * (1.0 / 3.0);
        ASSERT_GT(render3d::dot(n, middle - axis_point), 0.0)
            << "arm " << k << " ring " << i << " triangle " << t;
        ++checked;
      }
    }
  }
  EXPECT_EQ(checked, 6 * 29 * 8 - 6 * 4);
}

TEST(ArmGeometry, FaceNormalsPointOutwardOnStraightAndBentArms) {
  expect_outward_winding(*straight_figure(1.18));

  // A minute of music: the turning body bends the arms.
  auto e = coiltest::make_effect(31337);
  const coiltest::Sound sound = coiltest::banded_sound();
  for (int f = 0; f < 60; ++f) e->render_frame(sound.data(), f % 7 == 0, nullptr, nullptr, 0, 0);
  const Vec3 head = e->trails[0].position;
  const Vec3 tip = ring_centre(*e, 0, 29) - kHubPoint;
  ASSERT_LT(render3d::dot(head, tip) / render3d::length(tip), 0.99) << "the arm should be bent";
  expect_outward_winding(*e);
}

TEST(RingPoint, WalksTheSquarePThenQThenMinusPThenMinusQ) {
  MeshVertex p{};
  p.position = {1.0, 2.0, -3.0};
  p.colour = 77;
  p.face_count = 5;
  MeshVertex q{};
  q.position = {-0.5, 4.0, 0.25};
  q.colour = 11;
  auto at = [&](double t) {
    MeshVertex out{};
    coilfx::ring_point(p, q, t, out);
    EXPECT_EQ(out.colour, 77u);
    EXPECT_EQ(out.face_count, 5);
    return out.position;
  };
  auto expect_eq = [](const Vec3& got, const Vec3& want) {
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.z, want.z);
  };
  expect_eq(at(0.0), p.position);
  expect_eq(at(0.25), q.position);
  expect_eq(at(0.5), p.position * -1.0);
  expect_eq(at(0.75), q.position * -1.0);
  expect_eq(at(1.0), p.position);
  expect_eq(at(-2.0), p.position);
  expect_eq(at(7.0), p.position);
  // Between corners, on the straight edge.
  expect_eq(at(0.125), p.position * 0.5 + q.position * 0.5);
  expect_eq(at(0.625), p.position * -0.5 + q.position * -0.5);
  expect_eq(at(0.875), p.position * 0.5 + q.position * -0.5);
}

}  // namespace
