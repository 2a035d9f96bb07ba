#pragma once
// host/media: uses plugin, base and audio; used by cli.
//
// A synthetic sound trace, so renders, tests and examples need no audio: a spectrum that tilts down
// towards the high bins, three bands that swell and fade at their own slow rates, a pulse on every
// beat that decays over the following frames, beats every 27 to 33 frames, a little noise, and a
// waveform whose swing follows the pulse. Integer arithmetic only, so a seed gives the same bytes
// on every machine.

#include <cstdint>

#include "media/trace.hpp"

namespace apehost {

class TraceSynthesizer {
 public:
  explicit TraceSynthesizer(std::uint32_t seed) noexcept;

  // The next frame's beat flag and sound data.
  TraceFrame next() noexcept;

 private:
  std::uint32_t random8() noexcept;

  std::uint32_t state_;
  std::uint64_t frame_ = 0;
  std::uint64_t next_beat_ = 0;
  int pulse_ = 0;  // 0..256, the beat envelope
};

}  // namespace apehost
