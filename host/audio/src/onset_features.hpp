#pragma once
// What the beat tracker hears in each short hop of sound. Internal to apehost_audio.
//
// Every hop (about 5.8 ms) aubio's FFT gives the spectrum of the last four hops (Hann-windowed),
// and from it come three measures:
// - flux: how much the spectrum rose since the hop before, on a logarithmic scale, summed over all
//   bins: every kind of attack (a kick, a snare, a hat, a chord) shows, loud or quiet alike;
// - the level of the kick band (30-150 Hz), where kick drums and bass notes sit;
// - the level of the snare band (1.5-6 kHz), where snare drums and claps ring for a tenth of a
//   second while a kick's click is over in a few milliseconds and closed hats in a few hundredths.
// A hop below -70 dBFS counts as silence.

#include <vector>

#include "magnitude_fft.hpp"

namespace apehost::audio::detail {

struct HopFeatures {
  double flux = 0.0;
  double kick_level = 0.0;   // root of the band's power, full scale = 1
  double snare_level = 0.0;  // likewise
  bool sound = false;
};

// The hop: the power of two nearest (on a log scale) to sample_rate / 172, so 256 at 44.1 and
// 48 kHz, and about 5.8 ms at any rate.
int onset_hop_size(int sample_rate) noexcept;

class OnsetFeatures {
 public:
  // sample_rate must be positive.
  explicit OnsetFeatures(int sample_rate);

  int hop() const noexcept { return hop_; }

  // hop_samples: the next hop() mono samples.
  HopFeatures analyse(const float* hop_samples);

 private:
  double band_level(int first_bin, int last_bin) const;

  int hop_ = 0;
  int window_ = 0;
  int kick_bins_[2] = {0, 0};  // first and last bin of each band
  int snare_bins_[2] = {0, 0};
  std::vector<float> samples_;  // the last window of samples, oldest first
  std::vector<float> hann_;
  MagnitudeFft fft_;
  std::vector<float> previous_;  // the compressed magnitudes of the hop before
};

}  // namespace apehost::audio::detail
