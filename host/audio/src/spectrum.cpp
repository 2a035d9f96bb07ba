#include "spectrum.hpp"

#include <cmath>
#include <new>

#include "render3d/trig.hpp"

namespace apehost::audio::detail {

namespace {

constexpr double kTwoPi = 6.283185307179586;

}  // namespace

std::uint8_t spectrum_byte(double magnitude) noexcept {
  // Compare before taking the logarithm: silence (0) and NaN both land here.
  if (!(magnitude > 0.0)) return 0;
  const double db = 20.0 * std::log10(magnitude / kFullScaleMagnitude);
  const double level = (db + kSpectrumRangeDb) * (255.0 / kSpectrumRangeDb);
  if (!(level > 0.0)) return 0;
  if (level >= 255.0) return 255;
  return static_cast<std::uint8_t>(level + 0.5);
}

std::uint8_t waveform_byte(float sample) noexcept {
  const double v = static_cast<double>(sample) * 127.0;
  int value = 0;
  if (v >= 127.0) {
    value = 127;
  } else if (v <= -127.0) {
    value = -127;
  } else if (v >= 0.0) {
    value = static_cast<int>(v + 0.5);
  } else if (v < 0.0) {
    value = -static_cast<int>(-v + 0.5);
  }  // NaN fails every comparison and stays 0.
  // Conversion to an unsigned type is modulo 256: -1 becomes 0xFF, -127 becomes 0x81.
  return static_cast<std::uint8_t>(value);
}

SpectrumAnalyser::SpectrumAnalyser() {
  // The periodic Hann window: it sums to exactly N / 2, which kFullScaleMagnitude relies on.
  for (int n = 0; n < kFftSize; ++n) {
    hann_[static_cast<std::size_t>(n)] =
        static_cast<float>(0.5 - 0.5 * render3d::trig::cos(kTwoPi * n / kFftSize));
  }
}

void SpectrumAnalyser::analyse(const float* window, std::uint8_t* bins) {
  smpl_t* input = fft_.input();
  for (int n = 0; n < kFftSize; ++n) input[n] = window[n] * hann_[static_cast<std::size_t>(n)];
  // The magnitudes as aubio_fft_do gives them, without the phases it would also work out.
  const smpl_t* magnitudes = fft_.transform();
  // N / 2 + 1 magnitudes; the last one (half the rate) has no byte.
  for (int i = 0; i < kSpectrumBins; ++i) bins[i] = spectrum_byte(magnitudes[i]);
}

void fill_sound_frame(SpectrumAnalyser& analyser, const float* window0, const float* window1,
                      SoundFrame& frame) {
  const float* windows[2] = {window0, window1};
  for (int channel = 0; channel < 2; ++channel) {
    analyser.analyse(windows[channel], frame.sound.data() + spectrum_start(channel));
    const float* recent = windows[channel] + (kFftSize - kWaveformSamples);
    std::uint8_t* wave = frame.sound.data() + waveform_start(channel);
    for (int i = 0; i < kWaveformSamples; ++i) wave[i] = waveform_byte(recent[i]);
  }
}

}  // namespace apehost::audio::detail
