#pragma once
// Shared helpers of the blobfx tests: sound blocks and an independent copy of the random generator.
// The reference sweep the surface is measured against is in reference_sweep.hpp.

#include <cstdint>
#include <vector>

#include "apefw/ape_abi.h"

namespace blobtest {

using Sound = std::vector<std::uint8_t>;

inline Sound silence() { return Sound(APE_SOUND_BYTES, 0); }

// Both spectrum channels set to `level` over bins [first, last]; the waveform stays zero (the
// effect must not read it).
inline void set_spectrum(Sound& sound, int first, int last, std::uint8_t level) {
  for (int i = first; i <= last; ++i) {
    sound[i] = level;
    sound[APE_SOUND_BINS + i] = level;
  }
}

// The generator as the documentation states it, written out again so that the tests do not trust
// the implementation they check.
class ReferenceRandom {
 public:
  explicit ReferenceRandom(std::uint32_t seed) : state_(seed) {}
  int next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFFu);
  }
  std::uint32_t state() const { return state_; }

 private:
  std::uint32_t state_;
};

}  // namespace blobtest
