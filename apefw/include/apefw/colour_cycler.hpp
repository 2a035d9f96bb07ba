#pragma once
// The colour cycle shared by both effects: a position moves through the user's colour list a little
// every frame, jumps on a beat when the user asked for it, and the two entries around the position
// are blended into the frame's drawing colour.

#include <cstdint>

#include "apefw/effect_settings.hpp"

namespace apefw {

inline constexpr double kColourStepPerFrame = 0.015;
// A beat jump lands on r * n / 65536 for a draw r of 0..32767: always in the first half of the
// list.
inline constexpr double kBeatJumpScale = 1.0 / 65536.0;

class ColourCycler {
 public:
  // Works on the effect's own settings and colour position; holds no state of its own.
  ColourCycler(const EffectSettings& settings, double& colour_position) noexcept
      : settings_(settings), position_(colour_position) {}

  // The whole per-frame update: step(), then beat_jump() on a beat frame.
  void advance_colour(int beat) noexcept;

  // +0.015; back to exactly 0 (the overshoot dropped) once the position reaches colour_count.
  void step() noexcept;

  // On a beat: when on_beat_change is set, one random draw picks the new position; either way the
  // position is tested against the current colour_count again.
  void beat_jump() noexcept;

  // The frame's drawing colour 0x00RRGGBB. Weights add up to 255, not 256, so with two or more
  // colours no channel exceeds 254; a single colour is used exactly as stored.
  [[nodiscard]] std::uint32_t blend_colour() const noexcept;

 private:
  void wrap_at(std::int32_t count) noexcept;

  const EffectSettings& settings_;
  double& position_;
};

}  // namespace apefw
