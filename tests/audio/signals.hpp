#pragma once
// Synthetic sounds for the audio tests, each made to hit one property of the analysis.

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "apehost_audio/audio_buffer.hpp"
#include "apehost_audio/sound_analysis.hpp"
#include "render3d/geometry.hpp"

namespace audiotest {

using apehost::audio::AudioBuffer;
using apehost::audio::SoundFrame;

inline constexpr double kPi = 3.141592653589793;

// A mono buffer of seconds at rate whose sample n is f(n).
inline AudioBuffer mono(double seconds, int rate, const std::function<double(std::int64_t)>& f) {
  AudioBuffer b;
  b.sample_rate = rate;
  b.channels = 1;
  const auto n = static_cast<std::int64_t>(seconds * rate);
  b.samples.resize(static_cast<std::size_t>(n));
  for (std::int64_t i = 0; i < n; ++i)
    b.samples[static_cast<std::size_t>(i)] = static_cast<float>(f(i));
  return b;
}

inline AudioBuffer sine(double hz, double amplitude, double seconds = 0.5, int rate = 44100) {
  return mono(seconds, rate,
              [=](std::int64_t n) { return amplitude * std::sin(2.0 * kPi * hz * n / rate); });
}

// A fixed-seed generator, so every run tests the same noise.
class Noise {
 public:
  double next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(state_ >> 11) / 4503599627370496.0 - 1.0;  // -1 .. 1
  }

 private:
  std::uint64_t state_ = 12345;
};

// Short clicks (a 2.1 kHz ping decaying over 2 ms) at offset + k x 60 / bpm seconds.
inline AudioBuffer click_track(double bpm, double seconds, double offset, int rate = 44100) {
  AudioBuffer b = mono(seconds, rate, [](std::int64_t) { return 0.0; });
  const double period = 60.0 / bpm;
  for (double t = offset; t < seconds; t += period) {
    const auto start = static_cast<std::int64_t>(t * rate + 0.5);
    for (std::int64_t i = 0;
         i < rate / 100 && start + i < static_cast<std::int64_t>(b.samples.size()); ++i) {
      b.samples[static_cast<std::size_t>(start + i)] = static_cast<float>(
          0.8 * std::exp(-static_cast<double>(i) / 80.0) * std::sin(0.3 * static_cast<double>(i)));
    }
  }
  return b;
}

// The three levels the effects read from a frame: bins 0-1, 20-59 and 28-200, both channels mixed.
struct Bands {
  int bass;
  int middle;
  int treble;
};
inline Bands bands(const SoundFrame& frame) {
  const std::uint8_t* s = frame.sound.data();
  return {render3d::sample_sound(s, 0.0, 0.007, 0), render3d::sample_sound(s, 0.07, 0.07, 0),
          render3d::sample_sound(s, 0.2, 0.3, 0)};
}

inline const std::uint8_t* spectrum(const SoundFrame& frame, int channel) {
  return frame.sound.data() + apehost::audio::spectrum_start(channel);
}
inline const std::uint8_t* waveform(const SoundFrame& frame, int channel) {
  return frame.sound.data() + apehost::audio::waveform_start(channel);
}

// The bin with the largest byte (the first of equals).
inline int peak_bin(const SoundFrame& frame, int channel) {
  const std::uint8_t* s = spectrum(frame, channel);
  int best = 0;
  for (int i = 1; i < apehost::audio::kSpectrumBins; ++i) {
    if (s[i] > s[best]) best = i;
  }
  return best;
}

// Frames with the beat flag set.
inline std::vector<int> beat_frames(const std::vector<SoundFrame>& frames) {
  std::vector<int> beats;
  for (std::size_t k = 0; k < frames.size(); ++k) {
    if (frames[k].beat) beats.push_back(static_cast<int>(k));
  }
  return beats;
}

}  // namespace audiotest
