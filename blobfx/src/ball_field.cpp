// The ball field: the per-frame ball animation and the scalar field the surface sweep samples.

#include "blobfx/ball_field.hpp"

#include "apefw/random.hpp"
#include "blobfx/blob_effect.hpp"
#include "blobfx/surface.hpp"
#include "render3d/geometry.hpp"
#include "render3d/sound_bands.hpp"
#include "render3d/trig.hpp"

namespace blobfx {
namespace {

namespace trig = render3d::trig;

// A spin rate decays by this factor every frame, so a kicked angle coasts to a stop after turning
// five times its new rate.
constexpr double kSpinDecay = 0.8;
// A beat's new spin rate is (r mod 100) / 300 radians per frame, r a random draw: one of 100 steps
// up to 0.33, each the double nearest 1/300.
constexpr int kSpinKickSteps = 100;
constexpr double kSpinKickScale = 0.0033333333333333335;
// A beat pushes every orbit this far out.
constexpr std::int32_t kBeatPush = 150;

// Each orbit keeps this much of its radius every frame and takes the rest from its bands.
constexpr double kOrbitKeep = 0.95;
constexpr double kOneBandWeight = 0.095;   // balls 0 to 2 follow one band each
constexpr double kTwoBandWeight = 0.0475;  // balls 3 to 5 follow two bands at half weight
// spread = (b + m + t) x this + spread x 0.9. One unit in the last place above the double nearest
// 0.00165; written out so that the constant cannot drift.
constexpr double kSpreadGain = 0.0016500000000000002;
constexpr double kSpreadKeep = 0.9;  // the spread keeps this much of itself every frame

// Angular rates of the six orbits, radians per frame.
constexpr double kOrbitRate[kBallCount] = {0.05, 0.041, 0.0613, 0.0541, 0.0399, 0.0567};
// The drawn circle is three quarters of the orbit radius; the orbits are flattened toward z = 0.
constexpr double kOrbitScale = 0.75;
constexpr double kOrbitFlatten = 0.2;

// The owner's band levels fade by this factor every frame, after the orbits have used them.
constexpr double kBandDecay = 0.9;

// 1 / 220^2 rounded to the nearest double: q = distance^2 x this reaches 1 at distance 220.
constexpr double kInverseReachSquared = 2.066115702479339e-05;

// Every value truncated here is bounded: orbit sums lie in 0..400, centre coordinates in -300..300,
// decayed band levels in the int32 range they came from, field terms in 0..3000.
std::int32_t trunc_bounded(double v) noexcept { return static_cast<std::int32_t>(v); }

}  // namespace

BallField::BallField(BlobEffect& owner_effect) noexcept : owner(&owner_effect) {}

BallField::~BallField() = default;

void BallField::animate() noexcept {
  // This frame's inputs: the band levels after the frame's update, before the decay at the end.
  const double frame = static_cast<double>(owner->frame_count);
  const std::int32_t b = owner->band_level[0];
  const std::int32_t m = owner->band_level[1];
  const std::int32_t t = owner->band_level[2];

  // The tilt angles coast on their decaying rates.
  for (int j = 0; j < kSpinAngles; ++j) {
    spin[j] = spin[j] + spin_rate[j];
    spin_rate[j] = spin_rate[j] * kSpinDecay;
  }

  // A beat kicks every rate (twelve draws, in rate order, after the colour jump's draw of the
  // same frame) and pushes every orbit out. The new rates first turn the angles next frame.
  if (owner->beat_flag) {
    for (int j = 0; j < kSpinAngles; ++j) {
      spin_rate[j] = static_cast<double>(apefw::random15() % kSpinKickSteps) * kSpinKickScale;
    }
    for (int k = 0; k < kBallCount; ++k) orbit_radius[k] += kBeatPush;
  }

  // Each orbit eases toward its loudness level plus the spread, formed left to right, limited to
  // 400 after the kick and the smoothing. Every term is non-negative, so there is no lower limit.
  const std::int32_t* r = orbit_radius;
  const double eased[kBallCount] = {
      r[0] * kOrbitKeep + b * kOneBandWeight + spread,
      r[1] * kOrbitKeep + m * kOneBandWeight + spread,
      r[2] * kOrbitKeep + t * kOneBandWeight + spread,
      r[3] * kOrbitKeep + b * kTwoBandWeight + m * kTwoBandWeight + spread,
      r[4] * kOrbitKeep + t * kTwoBandWeight + b * kTwoBandWeight + spread,
      r[5] * kOrbitKeep + t * kTwoBandWeight + m * kTwoBandWeight + spread,
  };
  for (int k = 0; k < kBallCount; ++k) {
    orbit_radius[k] = trunc_bounded(eased[k] >= kOrbitLimit ? kOrbitLimit : eased[k]);
  }

  // The spread follows the sum of the three levels, the sum taken in integers.
  spread = static_cast<double>(b + m + t) * kSpreadGain + spread * kSpreadKeep;

  // Each ball on its circle, the plane tilted by its two spin angles, then flattened.
  for (int i = 0; i < kBallCount; ++i) {
    const double a = frame * kOrbitRate[i];
    const double radius = static_cast<double>(orbit_radius[i]);
    Vec3& c = ball_centre[i];
    c.x = static_cast<double>(trunc_bounded(trig::sin(a) * radius * kOrbitScale));
    c.y = static_cast<double>(trunc_bounded(trig::cos(a) * radius * kOrbitScale));
    c.z = 0.0;
    render3d::rotate_vec3(c, spin[2 * i], spin[2 * i + 1], 0.0);
    c.z = c.z * kOrbitFlatten;
  }

  // The owner's levels decay once per frame, after they were used above.
  for (int k = 0; k < render3d::kSoundBands; ++k) {
    owner->band_level[k] = trunc_bounded(owner->band_level[k] * kBandDecay);
  }
}

std::int32_t BallField::sample(std::int32_t x, std::int32_t y, std::int32_t z) const noexcept {
  const double px = static_cast<double>(x);
  const double py = static_cast<double>(y);
  const double pz = static_cast<double>(z);
  std::int32_t sum = 0;
  for (int i = 0; i < kBallCount; ++i) {
    const Vec3& c = ball_centre[i];
    const double dy = py - c.y;
    const double dz = pz - c.z;
    const double dx = px - c.x;
    // The squares added in this order: y, z, x.
    const double q = (dy * dy + dz * dz + dx * dx) * kInverseReachSquared;
    // 3000 (1 - q)^2 inside the reach, 0 beyond; the truncated term is 0..3000.
    if (q < 1.0) {
      const std::int32_t f = trunc_bounded(((q - 2.0) * q + 1.0) * kBallPeak);
      if (f > 0) sum += f;
    }
  }
  return sum - kIsoLevel;
}

// The same arithmetic as sample, arranged by lattice row. A ball's q at a point is
// ((dy^2 + dz^2) + dx^2) x kInverseReachSquared, so the squares are formed once per ball and
// lattice line, and the row part s = dy^2 + dz^2 once per ball and row: every q below is the value
// sample computes, operation for operation. A ball is left out of a whole row when s alone already
// gives q >= 1: adding dx^2 >= 0 and multiplying by a positive constant cannot make a rounded
// result smaller, so no point of the row can get q < 1 from it (a NaN s fails that test and goes
// through the per-point test, which rejects it as sample does). The terms are whole numbers, so
// summing them ball by ball per point instead of point by point gives the same sums.
void BallField::sample_lattice(std::int32_t* values) const noexcept {
  double dx2[kBallCount][kLatticePerSide];
  double dy2[kBallCount][kLatticePerSide];
  double dz2[kBallCount][kLatticePerSide];
  for (int i = 0; i < kBallCount; ++i) {
    const Vec3& c = ball_centre[i];
    for (int a = 0; a < kLatticePerSide; ++a) {
      const double dx = static_cast<double>(lattice_xy(a)) - c.x;
      const double dy = static_cast<double>(lattice_xy(a)) - c.y;
      const double dz = static_cast<double>(lattice_z(a)) - c.z;
      dx2[i][a] = dx * dx;
      dy2[i][a] = dy * dy;
      dz2[i][a] = dz * dz;
    }
  }

  for (int k = 0; k < kLatticePerSide; ++k) {
    for (int j = 0; j < kLatticePerSide; ++j) {
      std::int32_t sum[kLatticePerSide] = {};
      for (int i = 0; i < kBallCount; ++i) {
        const double row_part = dy2[i][j] + dz2[i][k];
        if (row_part * kInverseReachSquared >= 1.0) continue;
        const double* const dx2_of_ball = dx2[i];
        for (int a = 0; a < kLatticePerSide; ++a) {
          const double q = (row_part + dx2_of_ball[a]) * kInverseReachSquared;
          if (q < 1.0) {
            const std::int32_t f = trunc_bounded(((q - 2.0) * q + 1.0) * kBallPeak);
            if (f > 0) sum[a] += f;
          }
        }
      }
      std::int32_t* const row = values + lattice_index(0, j, k);
      for (int a = 0; a < kLatticePerSide; ++a) row[a] = sum[a] - kIsoLevel;
    }
  }
}

}  // namespace blobfx
