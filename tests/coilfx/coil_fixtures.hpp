#pragma once
// Shared pieces of the Coilform tests.

#include <array>
#include <cstdint>
#include <memory>

#include "apefw/ape_abi.h"
#include "coilfx/coil_effect.hpp"
#include "fixed_tick.hpp"

namespace coiltest {

// The 15-bit generator written out from its definition, to check the effect's draws against.
struct Lcg {
  std::uint32_t x;
  int next() {
    x = x * 214013u + 2531011u;
    return static_cast<int>((x >> 16) & 0x7FFFu);
  }
  double sign() { return (next() & 1) ? 1.0 : -1.0; }
};

using Sound = std::array<std::uint8_t, APE_SOUND_BYTES>;

// Spectrum bins (mean of both channels) 0-1: 101, 20-59: 37, 60-200: 250, all others 0; the
// waveform half is filled with junk the effect must not read.
inline Sound banded_sound() {
  Sound s{};
  auto set = [&](int from, int to, std::uint8_t left, std::uint8_t right) {
    for (int i = from; i <= to; ++i) {
      s[i] = left;
      s[APE_SOUND_BINS + i] = right;
    }
  };
  set(0, 1, 201, 2);
  set(20, 59, 37, 38);
  set(60, 200, 250, 251);
  for (int i = 2 * APE_SOUND_BINS; i < APE_SOUND_BYTES; ++i) s[i] = 0xEE;
  return s;
}

// An effect constructed with the tick count fixed to `ticks`.
inline std::unique_ptr<coilfx::CoilEffect> make_effect(std::uint32_t ticks) {
  testsupport::set_fixed_tick(ticks);
  return std::make_unique<coilfx::CoilEffect>();
}

inline double distance(const coilfx::Vec3& a, const coilfx::Vec3& b) {
  return render3d::length(a - b);
}

}  // namespace coiltest
