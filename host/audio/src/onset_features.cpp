#include "onset_features.hpp"

#include <algorithm>
#include <cmath>
#include <new>

namespace apehost::audio::detail {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kHopsPerSecond = 172.0;
// The spectrum is taken over four hops (23 ms at 44.1 kHz): enough for the kick band's few bins,
// short enough that two attacks a sixteenth apart at 180 bpm stay apart.
constexpr int kWindowHops = 4;
// Magnitudes are compressed as log(1 + k x m) with m relative to a full-scale sine (whose magnitude
// is N / 4 under aubio's window): sounds 60 dB below full scale still rise as clearly as loud
// ones, and the rounding noise of 16-bit files (near -100 dB) does not.
constexpr float kCompression = 1000.0f;
constexpr double kKickBandHz[2] = {30.0, 150.0};
constexpr double kSnareBandHz[2] = {1500.0, 6000.0};
constexpr float kSampleLimit = 8.0f;
// -70 dBFS as the mean square of a hop.
constexpr double kSilencePower = 1e-7;

int bin_of(double hz, int window, int sample_rate, int last_bin) {
  return std::clamp(static_cast<int>(std::lround(hz * window / sample_rate)), 1, last_bin);
}

}  // namespace

int onset_hop_size(int sample_rate) noexcept {
  const double target = sample_rate / kHopsPerSecond;
  int hop = 4;
  // Powers of two nearest on a log scale: double while the next one is within sqrt(2) of target.
  while (hop < (1 << 20) && hop * 2 <= target * 1.4142135623730951) hop *= 2;
  return hop;
}

OnsetFeatures::OnsetFeatures(int sample_rate)
    : hop_(onset_hop_size(sample_rate)), window_(kWindowHops * hop_), fft_(window_) {
  const int last_bin = window_ / 2;
  kick_bins_[0] = bin_of(kKickBandHz[0], window_, sample_rate, last_bin);
  kick_bins_[1] = std::max(kick_bins_[0], bin_of(kKickBandHz[1], window_, sample_rate, last_bin));
  snare_bins_[0] = bin_of(kSnareBandHz[0], window_, sample_rate, last_bin);
  snare_bins_[1] =
      std::max(snare_bins_[0], bin_of(kSnareBandHz[1], window_, sample_rate, last_bin));
  samples_.assign(static_cast<std::size_t>(window_), 0.0f);
  previous_.assign(static_cast<std::size_t>(last_bin + 1), 0.0f);
  // The periodic Hann window.
  hann_.resize(static_cast<std::size_t>(window_));
  for (int n = 0; n < window_; ++n) {
    hann_[static_cast<std::size_t>(n)] =
        static_cast<float>(0.5 - 0.5 * std::cos(kTwoPi * n / window_));
  }
}

double OnsetFeatures::band_level(int first_bin, int last_bin) const {
  // aubio's window sums to N / 2, so a full-scale sine centred on a bin has magnitude N / 4.
  const double full_scale = window_ / 4.0;
  double power = 0.0;
  for (int k = first_bin; k <= last_bin; ++k) {
    const double m = fft_.magnitudes()[k] / full_scale;
    power += m * m;
  }
  return std::sqrt(power);
}

HopFeatures OnsetFeatures::analyse(const float* hop_samples) {
  // The window moves on by a hop.
  std::copy(samples_.begin() + hop_, samples_.end(), samples_.begin());
  float* newest = samples_.data() + (window_ - hop_);
  double power = 0.0;
  for (int i = 0; i < hop_; ++i) {
    // NaN counts as silence and values far beyond full scale are held at kSampleLimit, so a broken
    // file cannot poison every later hop with infinities.
    const float x =
        std::isnan(hop_samples[i]) ? 0.0f : std::clamp(hop_samples[i], -kSampleLimit, kSampleLimit);
    newest[i] = x;
    power += static_cast<double>(x) * x;
  }
  smpl_t* input = fft_.input();
  for (int n = 0; n < window_; ++n) {
    input[n] = samples_[static_cast<std::size_t>(n)] * hann_[static_cast<std::size_t>(n)];
  }
  // Magnitudes only: the phases are not needed.
  fft_.transform();

  HopFeatures features;
  features.sound = power / hop_ > kSilencePower;
  const float compression = kCompression / (static_cast<float>(window_) / 4.0f);
  double flux = 0.0;
  for (int k = 1; k <= window_ / 2; ++k) {
    const float level = std::log1p(compression * fft_.magnitudes()[k]);
    const float rise = level - previous_[static_cast<std::size_t>(k)];
    if (rise > 0.0f) flux += rise;
    previous_[static_cast<std::size_t>(k)] = level;
  }
  features.flux = flux;
  features.kick_level = band_level(kick_bins_[0], kick_bins_[1]);
  features.snare_level = band_level(snare_bins_[0], snare_bins_[1]);
  return features;
}

}  // namespace apehost::audio::detail
