#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "apehost_audio/sound_analysis.hpp"
#include "signals.hpp"

namespace {

using namespace audiotest;
using apehost::audio::analyse;

struct ClickCase {
  double bpm;
  double offset;  // first click, seconds
};

class ClickTrack : public ::testing::TestWithParam<ClickCase> {};

// Once the tracker has locked on (5 s in), every click gets exactly one beat, in the frame the
// click starts in or one next to it, and nothing else is a beat. The offsets put the clicks at
// different places inside a frame and against the tracker's own analysis blocks, where aubio alone
// drifts.
TEST_P(ClickTrack, GivesABeatOnEveryClickWithinOneFrame) {
  const ClickCase c = GetParam();
  constexpr double kSeconds = 24.0;
  constexpr double kLocked = 5.0;
  const auto frames = analyse(click_track(c.bpm, kSeconds, c.offset), 60);
  const std::vector<int> beats = beat_frames(frames);

  const double period = 60.0 / c.bpm;
  std::vector<int> click_frames;
  for (double t = c.offset; t < kSeconds - 0.5; t += period) {
    if (t >= kLocked) click_frames.push_back(static_cast<int>(std::floor(t * 60.0)));
  }
  ASSERT_GT(click_frames.size(), 20u);
  for (int click : click_frames) {
    int near = 0;
    for (int b : beats) near += std::abs(b - click) <= 1;
    EXPECT_EQ(near, 1) << "click in frame " << click;
  }
  for (int b : beats) {
    if (b < kLocked * 60.0 + 1 || b > (kSeconds - 0.5) * 60.0) continue;
    bool on_click = false;
    for (int click : click_frames) on_click = on_click || std::abs(b - click) <= 1;
    EXPECT_TRUE(on_click) << "beat in frame " << b << " away from every click";
  }
}

INSTANTIATE_TEST_SUITE_P(Tempi, ClickTrack,
                         ::testing::Values(ClickCase{120.0, 0.1}, ClickCase{120.0, 0.23},
                                           ClickCase{120.0, 0.357}, ClickCase{120.0, 0.429},
                                           ClickCase{100.0, 0.2}, ClickCase{128.0, 0.05}));

TEST(Beats, AtOneHundredTwentyBpmComeEveryThirtyFrames) {
  const auto beats = beat_frames(analyse(click_track(120.0, 20.0, 0.23), 60));
  int counted = 0;
  for (std::size_t i = 1; i < beats.size(); ++i) {
    if (beats[i - 1] < 5 * 60) continue;
    EXPECT_GE(beats[i] - beats[i - 1], 29) << "after frame " << beats[i - 1];
    EXPECT_LE(beats[i] - beats[i - 1], 31) << "after frame " << beats[i - 1];
    ++counted;
  }
  EXPECT_GE(counted, 28);
}

TEST(Beats, FollowTheFrameRate) {
  // The same clicks at 30 frames per second: a beat every 15 frames.
  const auto beats = beat_frames(analyse(click_track(120.0, 16.0, 0.23), 30));
  int counted = 0;
  for (std::size_t i = 1; i < beats.size(); ++i) {
    if (beats[i - 1] < 5 * 30) continue;
    EXPECT_NEAR(beats[i] - beats[i - 1], 15, 1);
    ++counted;
  }
  EXPECT_GE(counted, 18);
}

TEST(Beats, NoneInSilence) {
  EXPECT_TRUE(beat_frames(analyse(mono(8.0, 44100, [](std::int64_t) { return 0.0; }), 60)).empty());
}

TEST(Beats, StopSoonAfterTheMusicStops) {
  // Twelve seconds of clicks, then eight of silence: the tracker keeps predicting beats, but not
  // for more than a second into the silence.
  AudioBuffer b = click_track(120.0, 20.0, 0.1);
  for (std::size_t i = 12 * 44100; i < b.samples.size(); ++i) b.samples[i] = 0.0f;
  const auto beats = beat_frames(analyse(b, 60));
  ASSERT_FALSE(beats.empty());
  EXPECT_GT(beats.back(), 11 * 60);
  EXPECT_LT(beats.back(), 13 * 60 + 30);
}

}  // namespace
