// The beats of the synthetic drum songs (drum_songs.hpp), scored with the F-measure of the
// beat-tracking literature, and the scoring itself.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "apehost_audio/sound_analysis.hpp"
#include "drum_songs.hpp"
#include "signals.hpp"

namespace {

using namespace audiotest;
using apehost::audio::analyse;

constexpr int kFps = 60;

// A beat frame's time is the start of the frame: what a trace reader sees.
std::vector<double> beat_times(const std::vector<SoundFrame>& frames) {
  std::vector<double> times;
  for (int k : beat_frames(frames)) times.push_back(static_cast<double>(k) / kFps);
  return times;
}

TEST(BeatScore, PerfectAndEmpty) {
  const std::vector<double> beats = {1.0, 1.5, 2.0, 2.5};
  EXPECT_DOUBLE_EQ(score_beats(beats, beats).f_measure(), 1.0);
  EXPECT_DOUBLE_EQ(score_beats({}, beats).f_measure(), 0.0);
  EXPECT_DOUBLE_EQ(score_beats(beats, {}).f_measure(), 0.0);
}

TEST(BeatScore, WindowIsSeventyMillisecondsEitherSide) {
  const std::vector<double> beats = {1.0, 2.0, 3.0, 4.0};
  EXPECT_EQ(score_beats({1.069, 1.931, 3.0, 4.0}, beats).matched, 4);
  EXPECT_EQ(score_beats({1.071, 1.929, 3.0, 4.0}, beats).matched, 2);
}

TEST(BeatScore, HalfTempoScoresTwoThirds) {
  // Every other beat: precision 1, recall 1/2.
  const std::vector<double> beats = {0.0, 0.35, 0.7, 1.05, 1.4, 1.75};
  const BeatScore s = score_beats({0.0, 0.7, 1.4}, beats);
  EXPECT_DOUBLE_EQ(s.precision(), 1.0);
  EXPECT_DOUBLE_EQ(s.recall(), 0.5);
  EXPECT_NEAR(s.f_measure(), 2.0 / 3.0, 1e-12);
}

TEST(BeatScore, ADetectionMatchesOneAnnotationAtMost) {
  // Two detections around one beat: one match, one false alarm; one beat missed.
  const BeatScore s = score_beats({0.98, 1.02}, {1.0, 1.5});
  EXPECT_EQ(s.matched, 1);
  EXPECT_DOUBLE_EQ(s.precision(), 0.5);
  EXPECT_DOUBLE_EQ(s.recall(), 0.5);
  // Off-beat detections: nothing matches.
  EXPECT_EQ(score_beats({0.25, 0.75, 1.25}, {0.0, 0.5, 1.0, 1.5}).matched, 0);
}

TEST(DrumSongs, AreTheSameOnEveryCallAndAnnotatedAtTheirTempo) {
  const DrumSong a = drum_song("dnb-172-quiet-intro");
  const DrumSong b = drum_song("dnb-172-quiet-intro");
  EXPECT_EQ(a.audio.samples, b.audio.samples);
  ASSERT_GT(a.beats.size(), 80u);
  for (std::size_t i = 1; i < a.beats.size(); ++i)
    ASSERT_NEAR(a.beats[i] - a.beats[i - 1], 60.0 / 172.0, 1e-9);
  EXPECT_THROW(drum_song("polka-120"), std::out_of_range);
}

class DrumSongBeats : public ::testing::TestWithParam<std::string> {};

// Every song: F-measure at least 0.95 with the beat frames' start times. At 160-180 bpm this only
// holds at the song's own tempo (half of it scores 2/3 at best) and in phase (the off-beats score
// 0).
TEST_P(DrumSongBeats, ScoreAtLeastNinetyFivePercent) {
  const DrumSong song = drum_song(GetParam());
  const BeatScore s = score_beats(beat_times(analyse(song.audio, kFps)), song.beats);
  std::printf("%-24s %5.1f bpm  F %.3f  (%d of %d beats, %d detections)\n", song.name.c_str(),
              song.bpm, s.f_measure(), s.matched, s.annotations, s.detections);
  EXPECT_GE(s.f_measure(), 0.95) << song.name;
}

INSTANTIATE_TEST_SUITE_P(Songs, DrumSongBeats, ::testing::ValuesIn(drum_song_names()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (c == '-') c = '_';
                           }
                           return name;
                         });

// The fast songs again under a noise floor of -35 dBFS: still the song's tempo, not half of it.
TEST(DrumSongBeats, FastSongsKeepTheirTempoUnderNoise) {
  for (const char* name : {"dnb-164", "jungle-176"}) {
    DrumSong song = drum_song(name);
    Noise noise;
    for (float& x : song.audio.samples) x += static_cast<float>(0.03 * noise.next());
    const auto detections = beat_times(analyse(song.audio, kFps));
    const BeatScore s = score_beats(detections, song.beats);
    EXPECT_GE(s.f_measure(), 0.9) << name;
    // Half the tempo would give half the detections.
    EXPECT_GT(s.detections, s.annotations * 9 / 10) << name;
  }
}

}  // namespace
