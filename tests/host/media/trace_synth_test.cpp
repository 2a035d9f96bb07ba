// The synthetic trace: repeatable per seed, beats at the promised spacing, sound that moves.

#include "media/trace_synth.hpp"

#include <gtest/gtest.h>

namespace {

using apehost::TraceFrame;
using apehost::TraceSynthesizer;

std::vector<TraceFrame> frames(std::uint32_t seed, int count) {
  TraceSynthesizer synth(seed);
  std::vector<TraceFrame> out;
  for (int i = 0; i < count; ++i) out.push_back(synth.next());
  return out;
}

TEST(TraceSynth, SameSeedSameFramesOtherSeedOtherFrames) {
  const auto a = frames(7, 40);
  const auto b = frames(7, 40);
  const auto c = frames(8, 40);
  bool all_same = true;
  bool any_other = false;
  for (int i = 0; i < 40; ++i) {
    all_same = all_same && a[i].beat == b[i].beat && a[i].sound == b[i].sound;
    any_other = any_other || a[i].sound != c[i].sound;
  }
  EXPECT_TRUE(all_same);
  EXPECT_TRUE(any_other);
}

TEST(TraceSynth, BeatsComeEvery27To33FramesFromEarlyOn) {
  for (std::uint32_t seed : {1u, 2u, 99u}) {
    const auto trace = frames(seed, 400);
    std::vector<int> beats;
    for (int i = 0; i < 400; ++i) {
      if (trace[i].beat) beats.push_back(i);
    }
    ASSERT_GE(beats.size(), 12u) << seed;
    EXPECT_GE(beats[0], 3) << seed;
    EXPECT_LE(beats[0], 10) << seed;
    for (std::size_t k = 1; k < beats.size(); ++k) {
      EXPECT_GE(beats[k] - beats[k - 1], 27) << seed;
      EXPECT_LE(beats[k] - beats[k - 1], 33) << seed;
    }
  }
}

TEST(TraceSynth, SpectrumPulsesOnTheBeatAndChannelsDiffer) {
  const auto trace = frames(1, 120);
  const auto low_band = [&](int f, int channel) {
    int sum = 0;
    for (int k = 0; k < 64; ++k) sum += trace[f].sound[apehost::spectrum_offset(channel) + k];
    return sum;
  };
  int beat = -1;
  for (int i = 0; i < 120 && beat < 0; ++i) {
    if (trace[i].beat) beat = i;
  }
  ASSERT_GE(beat, 0);
  // The beat frame is louder than the frame before it and than ten frames later.
  EXPECT_GT(low_band(beat, 0), low_band(beat - 1, 0));
  EXPECT_GT(low_band(beat, 0), low_band(beat + 10, 0));
  // The right channel is quieter, and its waveform is not the left one's.
  EXPECT_LT(low_band(beat, 1), low_band(beat, 0));
  int differing = 0;
  for (int k = 0; k < APE_SOUND_BINS; ++k) {
    differing += trace[beat].sound[apehost::waveform_offset(0) + k] !=
                 trace[beat].sound[apehost::waveform_offset(1) + k];
  }
  EXPECT_GT(differing, APE_SOUND_BINS / 2);
}

}  // namespace
