#include "apefw/colour_cycler.hpp"

#include <cmath>

#include "apefw/random.hpp"
#include "apefw/shared_field.hpp"

namespace apefw {

void ColourCycler::advance_colour(int beat) noexcept {
  step();
  if (beat) beat_jump();
}

void ColourCycler::wrap_at(std::int32_t count) noexcept {
  if (position_ >= count) position_ = 0.0;
}

void ColourCycler::step() noexcept {
  // The panel may change the count at any moment; one read serves the whole step.
  const std::int32_t count = read_shared(settings_.colour_count);
  position_ += kColourStepPerFrame;
  wrap_at(count);
}

void ColourCycler::beat_jump() noexcept {
  if (read_shared(settings_.on_beat_change)) {
    const std::int32_t count = read_shared(settings_.colour_count);
    // r * count is at most 32767 * 16: no overflow in 32 bits.
    position_ = static_cast<double>(random15() * count) * kBeatJumpScale;
  }
  wrap_at(read_shared(settings_.colour_count));
}

namespace {

// The two entries' weights add up to 255, not 256, so no channel sum can carry into the next (and
// with two or more colours no channel exceeds 254).
constexpr std::uint32_t kBlendWeightTotal = 255u;

// Scales each channel by weight/256 with truncation. Red and blue share one multiplication: their
// 16-bit products cannot overlap.
std::uint32_t scale_colour(std::uint32_t colour, std::uint32_t weight) noexcept {
  const std::uint32_t red_blue = (((colour & 0xFF00FFu) * weight) >> 8) & 0xFF00FFu;
  const std::uint32_t green = (((colour & 0x00FF00u) * weight) >> 8) & 0x00FF00u;
  return red_blue | green;
}

}  // namespace

std::uint32_t ColourCycler::blend_colour() const noexcept {
  const std::int32_t count = read_shared(settings_.colour_count);
  if (count <= 1) return read_shared(settings_.colours[0]);

  const double position = position_;
  const double whole = std::floor(position);
  // The position stays below a count of at most 16; the clamp only guards the list's bounds.
  int i0 = static_cast<int>(whole);
  if (i0 > kMaxColours - 1) i0 = kMaxColours - 1;
  if (i0 < 0) i0 = 0;
  const int i1 = static_cast<int>(std::ceil(position)) % count;
  const auto t = static_cast<std::uint32_t>((position - whole) * kBlendWeightTotal);  // 0..254
  const std::uint32_t c0 = read_shared(settings_.colours[i0]);
  const std::uint32_t c1 = read_shared(settings_.colours[i1]);
  return scale_colour(c0, kBlendWeightTotal - t) + scale_colour(c1, t);
}

}  // namespace apefw
