#pragma once
// The newest samples of the two channels the effects are shown (a mono source gives its channel
// for both; of more than two, the first two), for the spectrum and waveform of a frame. Internal
// to apehost_audio.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "apehost_audio/sound_analysis.hpp"

namespace apehost::audio::detail {

using Window = std::array<float, kFftSize>;

class ChannelHistory {
 public:
  // capacity: sample frames kept, at least kFftSize.
  ChannelHistory(int channels, std::int64_t capacity)
      : channels_(channels), capacity_(std::max<std::int64_t>(capacity, kFftSize)) {
    for (auto& ring : rings_) ring.assign(static_cast<std::size_t>(capacity_), 0.0f);
  }

  // Appends one interleaved sample frame.
  void push(const float* frame) {
    const auto slot = static_cast<std::size_t>(fed_ % capacity_);
    rings_[0][slot] = frame[0];
    rings_[1][slot] = frame[std::min(1, channels_ - 1)];
    ++fed_;
  }

  std::int64_t fed() const noexcept { return fed_; }
  std::int64_t capacity() const noexcept { return capacity_; }

  // The kFftSize samples of a channel that end at end_position (which must not be older than the
  // history); samples before the first one fed and after the newest count as silence.
  void window(std::int64_t end_position, int channel, Window& out) const {
    const std::int64_t first = end_position - kFftSize;
    const auto& ring = rings_[static_cast<std::size_t>(channel)];
    for (int i = 0; i < kFftSize; ++i) {
      const std::int64_t p = first + i;
      out[static_cast<std::size_t>(i)] =
          (p >= 0 && p < fed_) ? ring[static_cast<std::size_t>(p % capacity_)] : 0.0f;
    }
  }

 private:
  int channels_;
  std::int64_t capacity_;
  std::array<std::vector<float>, 2> rings_;
  std::int64_t fed_ = 0;
};

}  // namespace apehost::audio::detail
