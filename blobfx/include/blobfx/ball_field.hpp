#pragma once
// The six balls of the blob and the scalar field they make. Every frame animate() moves each ball
// on a circle around the centre of the view: the circle's radius follows the loudness of one or two
// spectrum bands, its plane is tilted by two spin angles that get a random kick on every beat. The
// blob's surface is where sample() crosses 0 (the summed field at the iso level 2000).
//
// Coordinates are the surface sweep's grid coordinates: x and y in -330..330, z in -247..247, the
// field centred on the origin. Ball centres stay within 300 of the origin in x and y, within 60 in
// z.

#include <cstdint>

#include "render3d/vec3.hpp"

namespace blobfx {

class BlobEffect;

inline constexpr int kBallCount = 6;
inline constexpr int kSpinAngles = 2 * kBallCount;  // entries 2i and 2i + 1 tilt ball i's orbit

// The field of one ball is 3000 at its centre, falling smoothly to 0 at this distance and beyond.
inline constexpr double kBallPeak = 3000.0;
inline constexpr std::int32_t kIsoLevel = 2000;
// No orbit radius (before the 0.75 scale) exceeds this, however loud the music.
inline constexpr double kOrbitLimit = 400.0;

// A class with a virtual table of its own, in this slot order: destructor, animate, sample. It is
// final, so sample_lattice, which the sweep reads, is exactly sample at every lattice point. The
// state is public: the effect's tests set and inspect it.
class BallField final {
 public:
  // Not owning: the effect creates exactly one field and destroys it with itself.
  explicit BallField(BlobEffect& owner) noexcept;
  BallField(const BallField&) = delete;
  BallField& operator=(const BallField&) = delete;
  virtual ~BallField();

  // Once per frame, before the first sample: spins, beat kick, orbit radii, spread, ball centres,
  // then decays the owner's band levels. Reads the owner's frame_count, beat_flag and band_level.
  virtual void animate() noexcept;

  // The summed field at a grid point minus the iso level: below 0 outside the blob, 0 or above
  // inside. A pure function of the point and the ball centres (no state changes), so it may be
  // called any number of times, in any order.
  [[nodiscard]] virtual std::int32_t sample(std::int32_t x, std::int32_t y,
                                            std::int32_t z) const noexcept;

  // sample at every point of the surface sweep's lattice, in one pass:
  // values[lattice_index(i, j, k)] = sample(lattice_xy(i), lattice_xy(j), lattice_z(k)), the same
  // value bit for bit. values holds kLatticePoints entries.
  void sample_lattice(std::int32_t* values) const noexcept;

  BlobEffect* owner;
  render3d::Vec3 ball_centre[kBallCount] = {};  // meaningful from the first animate() on
  std::int32_t orbit_radius[kBallCount] = {};   // 0..400
  double spin[kSpinAngles] = {};                // radians, grow without bound
  double spin_rate[kSpinAngles] = {};           // per-frame increment of each spin angle
  double spread = 0.0;                          // slow running sum of the band levels
};

}  // namespace blobfx
