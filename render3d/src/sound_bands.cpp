#include "render3d/sound_bands.hpp"

#include <cmath>

#include "render3d/geometry.hpp"
#include "render3d/trig.hpp"

namespace render3d {
namespace {

// A band as window centre and width in fractions of the 576 bins, and the weight of the level's
// excess over the sample in its trend.
struct Band {
  double centre;
  double width;
  std::int32_t trend_weight;
};
constexpr Band kBands[kSoundBands] = {
    {0.0, 0.007, 1},  // bins 0 and 1
    {0.07, 0.07, 2},  // bins 20 to 59
    {0.2, 0.3, 3},    // bins 28 to 200
};

// Both channels averaged.
constexpr std::int32_t kBothChannels = 0;

// How strongly a band's trend pushes its light drift.
constexpr double kTrendDrift = 0.00075;

// Drift d of light component b: a slow sine wave of the time value, plus the trend of band b
// weighted by the signed square root of a second, faster sine. The three rates and amplitudes
// differ so that the lights never settle into a visible loop.
struct DriftWave {
  double wave_rate;  // per unit of the time value
  double amplitude;  // of the slow wave, radians per frame
  double sign_rate;  // of the sine that weights and signs the trend
};
constexpr DriftWave kDriftWaves[kSoundBands] = {
    {0.00271, 0.021, 0.012},
    {0.00418, 0.0223, 0.00412},
    {0.003211, 0.0189, 0.00614},
};

// -1 below zero, +1 otherwise (zero included).
double sign_of(double s) noexcept { return s < 0.0 ? -1.0 : 1.0; }

// One drift at time t. The sign is a factor of exactly +1 or -1, so where it stands in the product
// changes no bit.
double drift(double t, const DriftWave& d, std::int32_t trend) noexcept {
  const double wave = trig::sin(t * d.wave_rate);
  const double s = trig::sin(t * d.sign_rate);
  return wave * d.amplitude + std::sqrt(std::fabs(s)) * trend * sign_of(s) * kTrendDrift;
}

}  // namespace

void update_sound_bands(const std::uint8_t* spectrum, std::int32_t level[kSoundBands],
                        std::int32_t trend[kSoundBands]) noexcept {
  for (int b = 0; b < kSoundBands; ++b) {
    // One reading serves both updates.
    const std::int32_t v = sample_sound(spectrum, kBands[b].centre, kBands[b].width, kBothChannels);
    level[b] = (2 * v + level[b]) / 2;
    trend[b] = (kBands[b].trend_weight * (level[b] - v) + trend[b]) / 2;
  }
}

void drift_lights(double t, const std::int32_t trend[kSoundBands], Vec3& light1,
                  Vec3& light2) noexcept {
  const double d0 = drift(t, kDriftWaves[0], trend[0]);
  const double d1 = drift(t, kDriftWaves[1], trend[1]);
  const double d2 = drift(t, kDriftWaves[2], trend[2]);
  light1.x += d0;
  light1.y += d1;
  light1.z += d2;
  light2.x += d1;
  light2.y += d2;
  light2.z += d0;
}

}  // namespace render3d
