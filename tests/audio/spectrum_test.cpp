#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "apehost_audio/sound_analysis.hpp"
#include "signals.hpp"

namespace {

using namespace audiotest;
using apehost::audio::analyse;
using apehost::audio::frame_start_sample;
using apehost::audio::frames_covering;
using apehost::audio::kSpectrumBins;
using apehost::audio::kWaveformSamples;

// A frame well inside the sound, where the whole FFT window holds signal.
const SoundFrame& settled(const std::vector<SoundFrame>& frames) {
  return frames.at(frames.size() / 2);
}

TEST(Spectrum, SineLandsInItsBinAndNeighboursFallOff) {
  // Bins are sample_rate / 1152 apart: 38.28 Hz at 44.1 kHz, so 1 kHz is bin 26.1.
  const auto frames = analyse(sine(1000.0, 0.5), 60);
  const std::uint8_t* s = spectrum(settled(frames), 0);
  EXPECT_EQ(peak_bin(settled(frames), 0), 26);
  EXPECT_GT(s[26], 200);
  // The Hann window's side lobes are 31 dB down and falling: far neighbours are much lower.
  for (int i : {18, 20, 32, 34}) EXPECT_LT(s[i] + 80, s[26]) << "bin " << i;
  for (int i = 60; i < kSpectrumBins; ++i) ASSERT_LT(s[i], 60) << "bin " << i;
}

TEST(Spectrum, LowSineLandsInBinsTwoToThree) {
  const auto frames = analyse(sine(100.0, 0.5, 1.0), 60);
  const int peak = peak_bin(settled(frames), 0);
  EXPECT_GE(peak, 2);
  EXPECT_LE(peak, 3);
  EXPECT_LT(spectrum(settled(frames), 0)[12] + 80, spectrum(settled(frames), 0)[peak]);
}

TEST(Spectrum, BinSpacingFollowsTheSampleRate) {
  // At 48 kHz the bins are 41.67 Hz apart: 1 kHz is bin 24, not 26.
  const auto frames = analyse(sine(1000.0, 0.5, 0.5, 48000), 60);
  EXPECT_EQ(peak_bin(settled(frames), 0), 24);
  // Half the rate is past the last bin: a tone just below it lands in bin 575.
  const auto high = analyse(sine(575.0 * 48000.0 / 1152.0, 0.5, 0.5, 48000), 60);
  EXPECT_EQ(peak_bin(settled(high), 0), 575);
}

TEST(Spectrum, ByteScaleIsDecibelsFromFullScale) {
  // A full-scale sine centred on bin 40 reaches the top of the scale; every 20 dB down costs
  // 255 / 80 x 20 = 63.75 levels.
  const double hz = 40.0 * 44100.0 / 1152.0;
  EXPECT_EQ(spectrum(settled(analyse(sine(hz, 1.0), 60)), 0)[40], 255);
  EXPECT_NEAR(spectrum(settled(analyse(sine(hz, 0.1), 60)), 0)[40], 191, 1);
  EXPECT_NEAR(spectrum(settled(analyse(sine(hz, 0.01), 60)), 0)[40], 128, 1);
  // 80 dB down is the floor.
  EXPECT_LE(spectrum(settled(analyse(sine(hz, 0.0001), 60)), 0)[40], 1);
}

TEST(Spectrum, SilenceGivesZeroSpectrumAndWaveform) {
  const auto frames = analyse(mono(0.5, 44100, [](std::int64_t) { return 0.0; }), 60);
  ASSERT_EQ(frames.size(), 30u);
  for (const SoundFrame& f : frames) {
    for (std::uint8_t b : f.sound) ASSERT_EQ(b, 0);
    EXPECT_FALSE(f.beat);
  }
}

TEST(Spectrum, FullScaleNoiseUsesTheRangeWithoutSaturating) {
  Noise noise;
  const auto frames = analyse(mono(0.5, 44100, [&](std::int64_t) { return noise.next(); }), 60);
  const std::uint8_t* s = spectrum(settled(frames), 0);
  int saturated = 0;
  double sum = 0.0;
  for (int i = 0; i < kSpectrumBins; ++i) {
    saturated += s[i] == 255;
    sum += s[i];
  }
  EXPECT_LT(saturated, kSpectrumBins / 20);
  // White noise at full scale sits high on the scale but below its top.
  EXPECT_GT(sum / kSpectrumBins, 120.0);
  EXPECT_LT(sum / kSpectrumBins, 220.0);
}

// Each of the three bands the effects read moves with the sound it stands for: bass with a kick,
// the middle band with a voice, the treble band with hats.
TEST(Spectrum, KickMovesTheBassBand) {
  // A 55 Hz thump falling from 120 Hz, every half second.
  const auto frames = analyse(mono(2.0, 44100,
                                   [](std::int64_t n) {
                                     const double t = std::fmod(n / 44100.0, 0.5);
                                     const double phase =
                                         55.0 * t + 65.0 * 0.03 * (1.0 - std::exp(-t / 0.03));
                                     return 0.9 * std::exp(-t / 0.12) * std::sin(2.0 * kPi * phase);
                                   }),
                              60);
  // Frame 30 ends 17 ms into the second kick; frame 59 ends on the tail just before the third.
  const Bands hit = bands(frames[30]);
  const Bands tail = bands(frames[59]);
  EXPECT_GT(hit.bass, 180);
  EXPECT_GT(hit.bass, tail.bass + 60);
  EXPECT_GT(hit.bass, hit.treble + 100);
}

TEST(Spectrum, VoiceMovesTheMiddleBand) {
  // A sung vowel: 220 Hz with its harmonics from the 4th to the 9th (0.9 to 2 kHz) strongest,
  // starting at 0.5 s.
  const auto frames = analyse(mono(1.0, 44100,
                                   [](std::int64_t n) {
                                     if (n < 22050) return 0.0;
                                     double v = 0.0;
                                     for (int h = 1; h <= 12; ++h) {
                                       const double gain = (h >= 4 && h <= 9) ? 0.08 : 0.02;
                                       v += gain * std::sin(2.0 * kPi * 220.0 * h * n / 44100.0);
                                     }
                                     return v;
                                   }),
                              60);
  const Bands before = bands(frames[25]);
  const Bands singing = bands(frames[50]);
  EXPECT_EQ(before.middle, 0);
  EXPECT_GT(singing.middle, 80);
  EXPECT_GT(singing.middle, singing.bass + 40);
}

TEST(Spectrum, HatsMoveTheTrebleBand) {
  // Noise tilted toward the top (a first difference rises 6 dB per octave), in bursts every quarter
  // second that fade within 40 ms.
  Noise noise;
  double previous = 0.0;
  const auto frames = analyse(mono(1.0, 44100,
                                   [&](std::int64_t n) {
                                     const double x = noise.next();
                                     const double high =
                                         x - previous;  // a first difference: rises 6 dB/octave
                                     previous = x;
                                     const double t = std::fmod(n / 44100.0, 0.25);
                                     return 0.3 * high * std::exp(-t / 0.04);
                                   }),
                              60);
  // Frame 45 ends 17 ms into the fourth burst; frame 44 ends just before it, on the third's tail.
  const Bands hit = bands(frames[45]);
  const Bands tail = bands(frames[44]);
  EXPECT_GT(hit.treble, 100);
  EXPECT_GT(hit.treble, tail.treble + 20);
  EXPECT_LT(hit.bass, 60);
}

TEST(Spectrum, MonoFeedsBothChannelsAndStereoKeepsThemApart) {
  const auto mono_frames = analyse(sine(440.0, 0.5), 60);
  const SoundFrame& m = settled(mono_frames);
  EXPECT_TRUE(std::equal(spectrum(m, 0), spectrum(m, 0) + kSpectrumBins, spectrum(m, 1)));
  EXPECT_TRUE(std::equal(waveform(m, 0), waveform(m, 0) + kWaveformSamples, waveform(m, 1)));

  // Left a 440 Hz tone, right silent: nothing of the left may show on the right.
  AudioBuffer stereo;
  stereo.sample_rate = 44100;
  stereo.channels = 2;
  for (float v : sine(440.0, 0.5).samples) {
    stereo.samples.push_back(v);
    stereo.samples.push_back(0.0f);
  }
  const auto stereo_frames = analyse(stereo, 60);
  const SoundFrame& s = settled(stereo_frames);
  EXPECT_EQ(peak_bin(s, 0), peak_bin(m, 0));
  for (int i = 0; i < kSpectrumBins; ++i) ASSERT_EQ(spectrum(s, 1)[i], 0);
  for (int i = 0; i < kWaveformSamples; ++i) ASSERT_EQ(waveform(s, 1)[i], 0);
}

TEST(Waveform, SamplesAreSignedBytesInTwosComplement) {
  struct Case {
    float sample;
    std::uint8_t byte;
  };
  const Case cases[] = {
      {-1.0f, 0x81},  {1.0f, 0x7F},    {0.5f, 0x40},
      {-0.5f, 0xC0},  {1.5f, 0x7F},    {-3.0f, 0x81},
      {0.004f, 0x01}, {-0.004f, 0xFF}, {std::numeric_limits<float>::quiet_NaN(), 0x00}};
  for (const Case& c : cases) {
    const auto frames = analyse(mono(0.1, 44100, [&](std::int64_t) { return c.sample; }), 60);
    const std::uint8_t* w = waveform(frames[3], 0);
    for (int i = 0; i < kWaveformSamples; ++i) ASSERT_EQ(w[i], c.byte) << "sample " << c.sample;
  }
}

TEST(Waveform, HoldsTheLast576SamplesOfTheFrameOldestFirst) {
  // A ramp that names each sample: sample n is (n mod 200 - 100) / 127, byte n mod 200 - 100.
  const auto frames =
      analyse(mono(0.2, 44100, [](std::int64_t n) { return ((n % 200) - 100) / 127.0; }), 60);
  for (int k : {0, 1, 5, 11}) {
    const std::int64_t end = frame_start_sample(k + 1, 44100, 60);
    const std::uint8_t* w = waveform(frames[static_cast<std::size_t>(k)], 0);
    for (int i = 0; i < kWaveformSamples; ++i) {
      const std::int64_t n = end - kWaveformSamples + i;
      ASSERT_EQ(static_cast<std::int8_t>(w[i]), (n % 200) - 100) << "frame " << k << " byte " << i;
    }
  }
}

TEST(Frames, CoverTheSoundAtTheFrameRate) {
  EXPECT_EQ(frame_start_sample(1, 44100, 60), 735);
  EXPECT_EQ(frame_start_sample(7, 44100, 30), 10290);
  EXPECT_EQ(frames_covering(44100, 44100, 60), 60);
  EXPECT_EQ(frames_covering(44101, 44100, 60), 61);
  EXPECT_EQ(analyse(sine(440.0, 0.5, 1.0), 60).size(), 60u);
  EXPECT_EQ(analyse(sine(440.0, 0.5, 1.0), 25).size(), 25u);
  EXPECT_EQ(analyse(sine(440.0, 0.5, 1.0, 22050), 24).size(), 24u);
  EXPECT_TRUE(analyse(sine(440.0, 0.5), 0).empty());
  EXPECT_TRUE(analyse(AudioBuffer{44100, 2, {}}, 60).empty());
}

TEST(Frames, SameSoundGivesSameBytes) {
  Noise noise;
  const AudioBuffer b = mono(
      3.0, 44100, [&](std::int64_t n) { return 0.3 * noise.next() + 0.5 * std::sin(n * 0.01); });
  const auto first = analyse(b, 60);
  const auto second = analyse(b, 60);
  ASSERT_EQ(first.size(), second.size());
  for (std::size_t k = 0; k < first.size(); ++k) {
    ASSERT_EQ(first[k].sound, second[k].sound) << "frame " << k;
    ASSERT_EQ(first[k].beat, second[k].beat) << "frame " << k;
  }
}

}  // namespace
