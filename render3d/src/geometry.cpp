#include "render3d/geometry.hpp"

#include "render3d/trig.hpp"

namespace render3d {

void rotate_vec3(Vec3& v, double a1, double a2, double a3) noexcept {
  const double c2 = trig::cos(a2), s2 = trig::sin(a2);
  const double x1 = v.x * c2 - v.z * s2;
  const double z1 = v.x * s2 + v.z * c2;
  const double c1 = trig::cos(a1), s1 = trig::sin(a1);
  const double y2 = v.y * c1 - z1 * s1;
  const double z2 = v.y * s1 + z1 * c1;
  const double c3 = trig::cos(a3), s3 = trig::sin(a3);
  v.x = x1 * c3 + y2 * s3;
  v.y = y2 * c3 - x1 * s3;
  v.z = z2;
}

namespace {

// The first doubles beyond the int32 range on either side: everything strictly between truncates
// to an int32.
constexpr double kBelowInt32 = -2147483649.0;  // INT32_MIN - 1
constexpr double kAboveInt32 = 2147483648.0;   // INT32_MAX + 1

// Double to int32 by truncation, saturating instead of undefined outside the int32 range.
std::int32_t trunc_to_int(double v) noexcept {
  if (!(v > kBelowInt32)) return v != v ? 0 : INT32_MIN;
  if (!(v < kAboveInt32)) return INT32_MAX;
  return static_cast<std::int32_t>(v);
}

// Window positions are fractions of the block: x bins = x x 576. The window's ends are
// (2x - w) x 288 and (2x + w) x 288, the half-width folded into the scale.
constexpr double kBinsPerBlock = static_cast<double>(kSoundBins);            // 576
constexpr double kHalfBinsPerBlock = static_cast<double>(kSoundBins) / 2.0;  // 288

int clamp_index(std::int32_t i) noexcept {
  return i <= 0 ? 0 : i >= kSoundBins - 1 ? kSoundBins - 1 : i;
}

int sample_at(const std::uint8_t* data, int i, std::int32_t channel) noexcept {
  if (channel == 1) return data[i];
  if (channel == 2) return data[kSoundBins + i];
  return (data[i] + data[kSoundBins + i]) >> 1;
}

}  // namespace

std::uint8_t sample_sound(const std::uint8_t* data, double x, double w,
                          std::int32_t channel) noexcept {
  if (w == 0.0)
    return static_cast<std::uint8_t>(
        sample_at(data, clamp_index(trunc_to_int(x * kBinsPerBlock)), channel));

  const int start = clamp_index(trunc_to_int((2.0 * x - w) * kHalfBinsPerBlock));
  int end = trunc_to_int((w + 2.0 * x) * kHalfBinsPerBlock);
  if (end < start + 1) end = start + 1;
  if (end > kSoundBins) end = kSoundBins;
  int sum = 0;
  for (int i = start; i < end; ++i) sum += sample_at(data, i, channel);
  return static_cast<std::uint8_t>(sum / (end - start));
}

}  // namespace render3d
