// The arm trails: for each of the six arms, the direction it pointed on each of the last 30 frames,
// newest first, and in trail 0 a brightness pulse that a beat starts at the head and that spreads
// and fades as it travels outward, one entry per frame.

#include "coilfx/coil_effect.hpp"
#include "render3d/geometry.hpp"

namespace coilfx {
namespace {

// The fixed arm directions the rotation turns, one per trail.
constexpr Vec3 kArmAxes[kArmCount] = {
    {1.0, 0.0, 0.0},  {-1.0, 0.0, 0.0}, {0.0, 1.0, 0.0},
    {0.0, -1.0, 0.0}, {0.0, 0.0, 1.0},  {0.0, 0.0, -1.0},
};

constexpr std::uint32_t kBeatPulse = 255;
constexpr int kPulseSmoothingPasses = 5;

}  // namespace

void CoilEffect::update_trails(int beat) {
  const std::uint32_t pulse = beat ? kBeatPulse : 0;

  // Smooth last frame's pulses of trail 0. Each pass runs outward-in, so every entry is averaged
  // with its inner neighbour's value from before the pass; the head is left as it is.
  MeshVertex* const trail0 = &trails[0];
  for (int pass = 0; pass < kPulseSmoothingPasses; ++pass) {
    for (int e = kTrailLength - 1; e >= 1; --e) {
      trail0[e].colour = (trail0[e - 1].colour + trail0[e].colour) / 2;
    }
  }

  for (int k = 0; k < kArmCount; ++k) {
    MeshVertex* const trail = &trails[k * kTrailLength];
    // Everything moves one frame older; the oldest entry drops off.
    for (int e = kTrailLength - 1; e >= 1; --e) trail[e] = trail[e - 1];

    // This frame's direction: the axis turned about Y by rotation[1], then about X by rotation[0],
    // then about Z by rotation[2]. All six turn alike, so the heads always form an orthogonal
    // cross.
    Vec3 direction = kArmAxes[k];
    render3d::rotate_vec3(direction, rotation[0], rotation[1], rotation[2]);
    trail[0] = MeshVertex{};
    trail[0].position = direction;
    trail[0].colour = pulse;
  }
}

}  // namespace coilfx
