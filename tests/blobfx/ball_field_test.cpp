// The ball field: the field function, the orbit and spread arithmetic, the spins and their beat
// kick, and the decay of the owner's band levels.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "blob_fixtures.hpp"
#include "blobfx/ball_field.hpp"
#include "blobfx/blob_effect.hpp"

namespace {

using blobfx::BallField;
using blobfx::BlobEffect;

// All balls but ball 0 far away from everything the tests sample.
void isolate_ball_zero(BallField& field, blobfx::Vec3 centre) {
  for (int i = 0; i < blobfx::kBallCount; ++i)
    field.ball_centre[i] = {5000.0 + 1000.0 * i, -4000.0, 3000.0};
  field.ball_centre[0] = centre;
}

TEST(BallField, SilenceKeepsEveryBallAtTheOrigin) {
  BlobEffect effect;
  BallField& field = *effect.ball_field;
  for (int frame = 1; frame <= 5; ++frame) {
    effect.frame_count = frame * 37;
    field.animate();
    for (int i = 0; i < blobfx::kBallCount; ++i) {
      EXPECT_EQ(field.orbit_radius[i], 0);
      EXPECT_EQ(field.ball_centre[i].x, 0.0);
      EXPECT_EQ(field.ball_centre[i].y, 0.0);
      EXPECT_EQ(field.ball_centre[i].z, 0.0);
    }
  }
  // Six balls on one point: 6 x 3000 - 2000 at the centre; the iso-surface is a sphere of radius
  // about 179.6, each ball's term truncated on its own (6 x 342 >= 2000 > 6 x 327).
  EXPECT_EQ(field.sample(0, 0, 0), 16000);
  EXPECT_GE(field.sample(179, 0, 0), 0);
  EXPECT_LT(field.sample(180, 0, 0), 0);
  EXPECT_GE(field.sample(0, 0, -179), 0);
  EXPECT_LT(field.sample(0, -180, 0), 0);
}

TEST(BallField, SampleFarFromEveryBallAndOnAnIsolatedCentre) {
  BlobEffect effect;
  BallField& field = *effect.ball_field;
  field.animate();  // silence: all six at the origin
  EXPECT_EQ(field.sample(-2000, -2000, -2000), -2000);
  EXPECT_EQ(field.sample(2000, -2000, 17), -2000);

  isolate_ball_zero(field, {100.0, -40.0, 20.0});
  EXPECT_EQ(field.sample(100, -40, 20), 1000);
  // At distance exactly 220 (q = 1) a ball adds nothing, in every direction.
  EXPECT_EQ(field.sample(320, -40, 20), -2000);
  EXPECT_EQ(field.sample(100, 180, 20), -2000);
  EXPECT_EQ(field.sample(100, -40, -200), -2000);
  // Halfway: 3000 (1 - 1/4)^2 = 1687.5, truncated.
  EXPECT_EQ(field.sample(210, -40, 20), 1687 - 2000);
  // sample is a pure function of the point.
  EXPECT_EQ(field.sample(100, -40, 20), 1000);
}

TEST(BallField, OrbitsFollowTheirBandsAndTheSpread) {
  BlobEffect effect;
  BallField& field = *effect.ball_field;
  effect.band_level[0] = 1000;  // b
  effect.band_level[1] = 400;   // m
  effect.band_level[2] = 100;   // t
  field.animate();
  // 0: b x 0.095, 1: m x 0.095, 2: t x 0.095, 3: (b + m) x 0.0475, 4: (t + b) x 0.0475,
  // 5: (t + m) x 0.0475, each truncated.
  const std::int32_t first[6] = {95, 38, 9, 66, 52, 23};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(field.orbit_radius[k], first[k]) << "ball " << k;
  // The spread gain is one unit in the last place above the double nearest 0.00165.
  const double gain = std::nextafter(0.00165, 1.0);
  EXPECT_EQ(field.spread, 1500 * gain);
  // The levels decay after use: trunc(level x 0.9).
  EXPECT_EQ(effect.band_level[0], 900);
  EXPECT_EQ(effect.band_level[1], 360);
  EXPECT_EQ(effect.band_level[2], 90);

  // Second frame: r x 0.95 plus the decayed levels plus the spread of the first frame.
  const double spread = field.spread;
  field.animate();
  const std::int32_t second[6] = {178, 72, 19, 125, 98, 45};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(field.orbit_radius[k], second[k]) << "ball " << k;
  EXPECT_EQ(field.spread, 1350 * gain + spread * 0.9);
}

TEST(BallField, OrbitsNeverPassTheLimitBeatsIncluded) {
  BlobEffect effect;
  BallField& field = *effect.ball_field;
  field.orbit_radius[2] = 390;
  effect.beat_flag = 1;
  effect.band_level[0] = 5000;
  effect.band_level[2] = 5000;
  field.animate();
  EXPECT_EQ(field.orbit_radius[0], 400);  // 150 x 0.95 + 475 -> 400
  EXPECT_EQ(field.orbit_radius[2], 400);  // (390 + 150) x 0.95 + 475 -> 400
  EXPECT_EQ(field.orbit_radius[1], 142);  // 150 x 0.95, no band
}

TEST(BallField, SpinAnglesCoastOnDecayingRates) {
  BlobEffect effect;
  BallField& field = *effect.ball_field;
  field.spin_rate[3] = 0.5;
  field.spin_rate[10] = -0.25;
  field.animate();
  EXPECT_EQ(field.spin[3], 0.5);
  EXPECT_EQ(field.spin_rate[3], 0.4);
  EXPECT_EQ(field.spin[10], -0.25);
  field.animate();
  EXPECT_EQ(field.spin[3], 0.5 + 0.5 * 0.8);
  EXPECT_EQ(field.spin_rate[3], 0.5 * 0.8 * 0.8);
  EXPECT_EQ(field.spin[10], -0.25 + -0.25 * 0.8);
}

TEST(BallField, CentresCircleAtThreeQuartersOfTheOrbitAndTiltByTheirOwnSpins) {
  BlobEffect effect;
  BallField& field = *effect.ball_field;
  effect.frame_count = 10;      // ball 0: a = 0.5, ball 1: a = 0.41
  field.orbit_radius[0] = 200;  // eases to 190 in silence
  field.orbit_radius[1] = 200;
  field.animate();
  ASSERT_EQ(field.orbit_radius[0], 190);
  // (trunc(sin 0.5 x 190 x 0.75), trunc(cos 0.5 x 190 x 0.75)) = (trunc 68.32, trunc 125.06).
  EXPECT_EQ(field.ball_centre[0].x, 68.0);
  EXPECT_EQ(field.ball_centre[0].y, 125.0);
  EXPECT_EQ(field.ball_centre[0].z, 0.0);

  // Ball 0's second spin angle turns the x-z plane by a quarter turn, putting x into z, which is
  // then flattened to a fifth. Ball 1, whose own spins stay 0, keeps its circle in the plane.
  field.orbit_radius[0] = 200;
  field.spin[1] = std::numbers::pi / 2;
  field.animate();
  EXPECT_NEAR(field.ball_centre[0].x, 0.0, 1e-9);
  EXPECT_EQ(field.ball_centre[0].y, 125.0);
  EXPECT_NEAR(field.ball_centre[0].z, 68.0 * 0.2, 1e-9);
  EXPECT_EQ(field.ball_centre[1].z, 0.0);
  EXPECT_NE(field.ball_centre[1].x, 0.0);

  // The first angle turns the y-z plane instead: y into z.
  field.orbit_radius[0] = 200;
  field.spin[0] = std::numbers::pi / 2;
  field.spin[1] = 0.0;
  field.animate();
  EXPECT_EQ(field.ball_centre[0].x, 68.0);
  EXPECT_NEAR(field.ball_centre[0].y, 0.0, 1e-9);
  EXPECT_NEAR(field.ball_centre[0].z, 125.0 * 0.2, 1e-9);
}

TEST(BallField, LoudMusicAndBeatsKeepTheBallsNearTheCentre) {
  BlobEffect effect;
  blobtest::Sound loud = blobtest::silence();
  blobtest::set_spectrum(loud, 0, 575, 255);
  bool reached_limit = false;
  for (int frame = 0; frame < 200; ++frame) {
    effect.render_frame(loud.data(), frame % 3 == 0, nullptr, nullptr, 0, 0);
    const BallField& field = *effect.ball_field;
    for (int i = 0; i < blobfx::kBallCount; ++i) {
      ASSERT_LE(field.orbit_radius[i], 400);
      reached_limit = reached_limit || field.orbit_radius[i] == 400;
      const blobfx::Vec3& c = field.ball_centre[i];
      ASSERT_LE(std::sqrt(c.x * c.x + c.y * c.y + c.z * c.z), 300.0 + 1e-9);
      ASSERT_LE(std::fabs(c.z), 60.0 + 1e-9);
    }
  }
  EXPECT_TRUE(reached_limit);
}

TEST(BallField, InSilenceALevelOf200FallsToZeroInSixFrames) {
  BlobEffect effect;
  effect.band_level[0] = 200;
  effect.band_level[1] = 200;
  effect.band_level[2] = 31;
  const blobtest::Sound quiet = blobtest::silence();
  // Each frame halves the level (band update), then the field takes a tenth off, truncating.
  const std::int32_t expected[6] = {90, 40, 18, 8, 3, 0};
  const std::int32_t expected_low[6] = {13, 5, 1, 0, 0, 0};
  for (int frame = 0; frame < 6; ++frame) {
    effect.render_frame(quiet.data(), 0, nullptr, nullptr, 0, 0);
    EXPECT_EQ(effect.band_level[0], expected[frame]) << "frame " << frame;
    EXPECT_EQ(effect.band_level[1], expected[frame]) << "frame " << frame;
    EXPECT_EQ(effect.band_level[2], expected_low[frame]) << "frame " << frame;
  }
}

}  // namespace
