#pragma once
// What a host hands the effects over a long session, made up deterministically: sound data with a
// changing loudness, beats at irregular intervals, and settings blobs.

#include <cstdint>
#include <vector>

#include "apefw/ape_abi.h"

namespace reliability {

// A plain 32-bit LCG of the test's own (not the effects' generator, which it must not disturb).
class TestRandom {
 public:
  explicit TestRandom(std::uint32_t seed) : state_(seed) {}
  std::uint32_t next() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_ >> 8;  // 24 bits
  }
  std::uint32_t below(std::uint32_t n) { return next() % n; }

 private:
  std::uint32_t state_;
};

// The sound of one frame: spectrum and waveform bytes under a loudness that swells and falls over
// a few hundred frames, with silent stretches; about one frame in six is a beat.
class SoundFeed {
 public:
  explicit SoundFeed(std::uint32_t seed) : random_(seed), sound_(APE_SOUND_BYTES) {}

  const std::uint8_t* next_frame() {
    ++frame_;
    const std::uint32_t phase = frame_ % 400;
    const std::uint32_t loudness = phase < 40    ? 0
                                   : phase < 220 ? phase - 40
                                                 : 400 - phase;  // 0..180
    for (std::uint8_t& b : sound_) {
      b = loudness == 0 ? 0 : static_cast<std::uint8_t>(random_.below(loudness + 1) + loudness / 2);
    }
    beat_ = random_.below(6) == 0;
    return sound_.data();
  }
  [[nodiscard]] int beat() const { return beat_; }
  TestRandom& random() { return random_; }

 private:
  TestRandom random_;
  std::vector<std::uint8_t> sound_;
  std::uint32_t frame_ = 0;
  int beat_ = 0;
};

// A 72-byte settings blob: `count` (stored as given, unclamped) of the colours, the on-beat flag.
inline std::vector<std::uint8_t> settings_blob(const std::vector<std::uint32_t>& colours,
                                               std::int32_t count, std::int32_t on_beat) {
  std::vector<std::uint8_t> blob(APE_SETTINGS_BYTES, 0);
  auto put = [&](int offset, std::uint32_t word) {
    for (int b = 0; b < 4; ++b) blob[offset + b] = static_cast<std::uint8_t>(word >> (8 * b));
  };
  for (std::size_t i = 0; i < colours.size() && i < 16; ++i)
    put(4 * static_cast<int>(i), colours[i]);
  put(64, static_cast<std::uint32_t>(count));
  put(68, static_cast<std::uint32_t>(on_beat));
  return blob;
}

}  // namespace reliability
