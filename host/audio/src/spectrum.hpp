#pragma once
// One channel's spectrum and waveform bytes. Internal to apehost_audio.

#include <array>
#include <cstdint>

#include "apehost_audio/sound_analysis.hpp"
#include "magnitude_fft.hpp"

namespace apehost::audio::detail {

// The magnitude aubio's FFT gives a full-scale sine centred on a bin under the Hann window: the
// transform's amplitude x N / 2, halved by the window's mean of 0.5. It is the top of the byte
// scale.
inline constexpr double kFullScaleMagnitude = kFftSize / 4.0;
// The bottom of the byte scale, in dB below kFullScaleMagnitude. 80 dB lets the quiet top octaves
// of ordinary music still show while only a full-scale tone reaches 255.
inline constexpr double kSpectrumRangeDb = 80.0;

// A magnitude from aubio's FFT as a spectrum byte: 0 at and below kSpectrumRangeDb under full
// scale, 255 at and above full scale, linear in dB between, rounded to nearest.
std::uint8_t spectrum_byte(double magnitude) noexcept;

// A sample as a waveform byte: round(x x 127) clipped to -127..127, in two's complement; NaN gives
// 0.
std::uint8_t waveform_byte(float sample) noexcept;

// The FFT and its buffers, made once and reused for every frame.
class SpectrumAnalyser {
 public:
  SpectrumAnalyser();

  // window: the kFftSize most recent samples of one channel, oldest first. Writes kSpectrumBins
  // bytes to bins.
  void analyse(const float* window, std::uint8_t* bins);

 private:
  std::array<float, kFftSize> hann_{};
  MagnitudeFft fft_{kFftSize};
};

// Fills frame.sound from the kFftSize most recent samples of each channel (oldest first); the
// waveform is the last kWaveformSamples of each window. Leaves frame.beat alone.
void fill_sound_frame(SpectrumAnalyser& analyser, const float* window0, const float* window1,
                      SoundFrame& frame);

}  // namespace apehost::audio::detail
