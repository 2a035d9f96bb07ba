#pragma once
// What both effects take from the sound each frame: three smoothed spectrum bands, and the drift of
// their two light phases that follows a time value and the bands' trends.

#include <cstdint>

#include "render3d/vec3.hpp"

namespace render3d {

inline constexpr int kSoundBands = 3;

// Bass (bins 0-1), middle (bins 20-59) and treble (bins 28-200), each averaged over both channels:
// the level rises halfway to twice the sample, the trend follows the level's excess over the
// sample, in integer arithmetic truncating toward zero. Bands in the order 0, 1, 2.
void update_sound_bands(const std::uint8_t* spectrum, std::int32_t level[kSoundBands],
                        std::int32_t trend[kSoundBands]) noexcept;

// Adds this frame's drifts (d0, d1, d2) to light1 and the same drifts turned by one place,
// (d1, d2, d0), to light2. t is the effect's clock or frame count as a double.
void drift_lights(double t, const std::int32_t trend[kSoundBands], Vec3& light1,
                  Vec3& light2) noexcept;

}  // namespace render3d
