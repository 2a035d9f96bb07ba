#include "media/trace_synth.hpp"

namespace apehost {
namespace {

constexpr int kBins = APE_SOUND_BINS;
constexpr int kPulseFull = 256;

// A triangle wave over period steps: -256 at phase 0, +256 at half the period.
int triangle(std::uint64_t phase, int period) {
  const int p = static_cast<int>(phase % static_cast<std::uint64_t>(period));
  const int half = period / 2;
  const int rise = p < half ? p : period - p;  // 0..half
  return rise * 512 / half - 256;
}

std::uint8_t clamp_byte(int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

struct Band {
  int centre;  // bin
  int half_width;
  int period;  // frames of one swell
  int peak;    // level added at the top of the swell
};

// Low, middle and high bands, each swelling at a rate of its own so the three never line up.
constexpr Band kBands[3] = {{40, 36, 90, 150}, {200, 60, 140, 110}, {420, 90, 220, 90}};

}  // namespace

TraceSynthesizer::TraceSynthesizer(std::uint32_t seed) noexcept
    : state_(seed * 2654435761u + 0x9E3779B9u) {
  next_beat_ = 3 + random8() % 8;
}

std::uint32_t TraceSynthesizer::random8() noexcept {
  state_ = state_ * 1664525u + 1013904223u;  // unsigned: wraps modulo 2^32
  return state_ >> 24;
}

TraceFrame TraceSynthesizer::next() noexcept {
  TraceFrame frame;
  frame.beat = frame_ == next_beat_;
  if (frame.beat) {
    pulse_ = kPulseFull;
    next_beat_ += 27 + random8() % 7;
  } else {
    pulse_ = pulse_ * 7 / 8;
  }

  int band_level[3];
  for (int b = 0; b < 3; ++b) {
    band_level[b] = (triangle(frame_, kBands[b].period) + 256) * kBands[b].peak / 512;
  }

  for (int channel = 0; channel < 2; ++channel) {
    std::uint8_t* spectrum = frame.sound.data() + spectrum_offset(channel);
    std::uint8_t* waveform = frame.sound.data() + waveform_offset(channel);
    for (int k = 0; k < kBins; ++k) {
      // Falling tilt, raised by the beat pulse.
      int level = (120 - k * 100 / kBins) * (kPulseFull + pulse_) / kPulseFull;
      for (int b = 0; b < 3; ++b) {
        const int distance = k > kBands[b].centre ? k - kBands[b].centre : kBands[b].centre - k;
        if (distance < kBands[b].half_width) {
          level += band_level[b] * (kBands[b].half_width - distance) / kBands[b].half_width;
        }
      }
      // The right channel a little quieter than the left, so a swapped channel shows.
      if (channel == 1) level = level * 7 / 8;
      spectrum[k] = clamp_byte(level + static_cast<int>(random8() % 12));

      // Two partials; the right channel's low one in opposite phase.
      const int swing = 40 + pulse_ * 80 / kPulseFull;
      const int low = triangle(static_cast<std::uint64_t>(k) + frame_ * 5 + (channel ? 48 : 0), 96);
      const int high = triangle(static_cast<std::uint64_t>(k) * 7 + frame_ * 11, 64);
      waveform[k] = clamp_byte(128 + (low * 3 + high) * swing / 1024);
    }
  }
  ++frame_;
  return frame;
}

}  // namespace apehost
