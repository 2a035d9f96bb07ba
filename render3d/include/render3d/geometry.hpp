#pragma once
// The shared vector and sound helpers.

#include <cstdint>

#include "render3d/vec3.hpp"

namespace render3d {

// Turns v in place: in the x-z plane by a2, then in the y-z plane by a1, then in the x-y plane by
// a3 (whose sign pattern differs from the first two: x'' = x' cos a3 + y' sin a3).
void rotate_vec3(Vec3& v, double a1, double a2, double a3) noexcept;

inline constexpr int kSoundBins = 576;

// A level 0..255 from one 576-sample block per channel (channel 1 or 2; anything else averages
// both). x is the window centre and w its width, both as fractions of the block; w = 0 reads one
// sample. The window is clamped into the block and never empty.
std::uint8_t sample_sound(const std::uint8_t* data, double x, double w,
                          std::int32_t channel) noexcept;

}  // namespace render3d
