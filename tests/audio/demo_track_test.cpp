#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "apehost_audio/demo_track.hpp"
#include "apehost_audio/sound_analysis.hpp"
#include "signals.hpp"

namespace {

using namespace audiotest;
using apehost::audio::analyse;
using apehost::audio::synthesize_demo_track;

// The track is made once for all tests here: it takes a moment under the sanitizers.
const AudioBuffer& demo() {
  static const AudioBuffer track = synthesize_demo_track();
  return track;
}

TEST(DemoTrack, IsThirtySecondsOfStereoAt44100) {
  EXPECT_EQ(demo().sample_rate, 44100);
  EXPECT_EQ(demo().channels, 2);
  EXPECT_EQ(demo().frame_count(), 30u * 44100u);
}

TEST(DemoTrack, IsTheSameOnEveryCall) {
  const AudioBuffer again = synthesize_demo_track();
  ASSERT_EQ(again.samples.size(), demo().samples.size());
  EXPECT_EQ(std::memcmp(again.samples.data(), demo().samples.data(),
                        again.samples.size() * sizeof(float)),
            0);
}

TEST(DemoTrack, PeaksJustBelowFullScaleWithoutClipping) {
  float peak = 0.0f;
  double sum = 0.0;
  for (float v : demo().samples) {
    ASSERT_TRUE(std::isfinite(v));
    peak = std::max(peak, std::fabs(v));
    sum += static_cast<double>(v) * v;
  }
  EXPECT_LE(peak, 0.9f);
  EXPECT_GE(peak, 0.85f);
  // Loud enough to mean something without being a wall: -20 to -10 dBFS average.
  const double rms_db = 10.0 * std::log10(sum / static_cast<double>(demo().samples.size()));
  EXPECT_GT(rms_db, -20.0);
  EXPECT_LT(rms_db, -10.0);
}

TEST(DemoTrack, IsStereoAndFadesAtBothEnds) {
  const auto& s = demo().samples;
  double difference = 0.0;
  for (std::size_t f = 0; f < demo().frame_count(); f += 7)
    difference += std::fabs(s[2 * f] - s[2 * f + 1]);
  EXPECT_GT(difference, 100.0);
  EXPECT_LT(std::fabs(s[0]) + std::fabs(s[1]), 1e-3f);
  for (std::size_t i = s.size() - 2 * 441; i < s.size(); ++i) ASSERT_LT(std::fabs(s[i]), 0.01f);
}

TEST(DemoTrack, DrivesTheBeatAndTheBassBand) {
  // 128 bpm: a kick every 28.125 frames at 60 fps, from bar 2 (3.75 s) on, except in the two
  // breakdown bars 8 and 9 (15 s to 18.75 s).
  const auto frames = analyse(demo(), 60);
  ASSERT_EQ(frames.size(), 1800u);
  const auto beats = beat_frames(frames);
  int kicks = 0;
  int kicks_on_beat = 0;
  double bass_on_kicks = 0.0;
  for (int beat = 44; beat < 60; ++beat) {  // bars 11 to 14: the full second section
    const int frame = static_cast<int>(std::floor(beat * 28.125));
    ++kicks;
    for (int b : beats) kicks_on_beat += std::abs(b - frame) <= 1;
    bass_on_kicks += bands(frames[static_cast<std::size_t>(frame)]).bass;
  }
  EXPECT_GE(kicks_on_beat, kicks - 1);
  // In the breakdown, without kick or bass, the bass band rests.
  double bass_in_breakdown = 0.0;
  for (int k = 15 * 60 + 10; k < 16 * 60 + 50; ++k)
    bass_in_breakdown += bands(frames[static_cast<std::size_t>(k)]).bass;
  EXPECT_GT(bass_on_kicks / kicks, 150.0);
  EXPECT_LT(bass_in_breakdown / 100.0, 30.0);
}

}  // namespace
