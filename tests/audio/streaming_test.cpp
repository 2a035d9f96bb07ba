#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "apehost_audio/sound_analysis.hpp"
#include "signals.hpp"

namespace {

using namespace audiotest;
using apehost::audio::analyse;
using apehost::audio::frame_start_sample;
using apehost::audio::SoundAnalyser;

// Clicks for the beats and a stereo pair of different tones, so a swapped or shifted window shows.
AudioBuffer stereo_music(double seconds) {
  const AudioBuffer clicks = click_track(120.0, seconds, 0.23);
  AudioBuffer b;
  b.sample_rate = 44100;
  b.channels = 2;
  for (std::size_t n = 0; n < clicks.samples.size(); ++n) {
    const double t = static_cast<double>(n) / 44100.0;
    b.samples.push_back(clicks.samples[n] +
                        static_cast<float>(0.2 * std::sin(2.0 * kPi * 330.0 * t)));
    b.samples.push_back(clicks.samples[n] +
                        static_cast<float>(0.1 * std::sin(2.0 * kPi * 1250.0 * t)));
  }
  return b;
}

// Feeds the buffer in uneven chunks, keeping lead sample frames ahead of each frame's end (the
// analyser's beat look-ahead when lead is negative), says when the sound has ended, and asks for
// every frame as a live window would.
std::vector<SoundFrame> stream(const AudioBuffer& b, int fps, std::int64_t lead) {
  SoundAnalyser analyser(b.sample_rate, b.channels);
  if (lead < 0) lead = analyser.beat_lookahead();
  const auto total = static_cast<std::int64_t>(b.frame_count());
  const std::int64_t count = apehost::audio::frames_covering(total, b.sample_rate, fps);
  std::vector<SoundFrame> frames;
  std::int64_t fed = 0;
  const std::int64_t chunks[] = {1, 517, 1000, 64, 4096};
  int next_chunk = 0;
  for (std::int64_t k = 0; k < count; ++k) {
    const std::int64_t end = frame_start_sample(k + 1, b.sample_rate, fps);
    while (fed < std::min(end + lead, total)) {
      const std::int64_t n = std::min({chunks[next_chunk++ % 5], end + lead - fed, total - fed});
      analyser.feed(b.samples.data() + fed * b.channels, static_cast<std::size_t>(n));
      fed += n;
      if (fed == total) analyser.finish();
    }
    frames.push_back(analyser.frame_at(end));
  }
  EXPECT_EQ(analyser.samples_fed(), total);
  return frames;
}

TEST(SoundAnalyser, GivesTheSameBytesAsTheWholeFileAnalysis) {
  const AudioBuffer b = stereo_music(3.0);
  const auto whole = analyse(b, 60);
  const auto live = stream(b, 60, 0);
  ASSERT_EQ(live.size(), whole.size());
  // The last frame runs past the end of the sound: the whole-file analysis pads it with silence,
  // the live one has only what was fed. Every other frame must match byte for byte.
  for (std::size_t k = 0; k + 1 < whole.size(); ++k)
    ASSERT_EQ(live[k].sound, whole[k].sound) << "frame " << k;
}

TEST(SoundAnalyser, FedAheadReportsTheBeatsInTheirOwnFrames) {
  // A beat is decided once the sound some seconds past it has arrived; fed that far ahead of the
  // picture, the live beats fall in exactly the frames of the whole-file analysis.
  const AudioBuffer b = stereo_music(12.0);
  const auto whole = beat_frames(analyse(b, 60));
  const auto live = beat_frames(stream(b, 60, -1));
  // Told where the sound ends, the analyser decides the last beats as the whole-file analysis does.
  EXPECT_EQ(live, whole);
  ASSERT_GT(whole.size(), 15u);
  // The same before the last half second, which the end of the sound does not decide.
  std::vector<int> whole_before_end;
  for (int k : whole) {
    if (k < 11.5 * 60) whole_before_end.push_back(k);
  }
  std::vector<int> live_before_end;
  for (int k : live) {
    if (k < 11.5 * 60) live_before_end.push_back(k);
  }
  EXPECT_EQ(live_before_end, whole_before_end);
}

TEST(SoundAnalyser, FedJustInTimeReportsEveryBeatOnceShortlyAfter) {
  const AudioBuffer b = stereo_music(12.0);
  const auto whole = beat_frames(analyse(b, 60));
  const auto live = beat_frames(stream(b, 60, 0));
  std::size_t matched = 0;
  for (int k : whole) {
    if (k >= 11 * 60) break;
    // Reported in a later frame, once a tenth of a second and a little more has been heard (the
    // quick tracker's beats, until the decided ones have caught up).
    const bool found =
        std::any_of(live.begin(), live.end(), [&](int l) { return l >= k && l <= k + 12; });
    EXPECT_TRUE(found) << "beat of frame " << k;
    matched += found;
  }
  EXPECT_GT(matched, 15u);
  EXPECT_LE(live.size(), whole.size());
}

TEST(SoundAnalyser, ClampsPositionsToWhatItHas) {
  const AudioBuffer b = stereo_music(4.0);
  SoundAnalyser analyser(44100, 2, 1.0);
  analyser.feed(b.samples.data(), b.frame_count());
  const auto fed = analyser.samples_fed();
  // Past the newest sample: the newest window.
  EXPECT_EQ(analyser.frame_at(fed + 5000).sound, analyser.frame_at(fed).sound);
  // Older than the one second kept: the oldest window that is still whole.
  const std::int64_t oldest = fed - 44100 + apehost::audio::kFftSize;
  EXPECT_EQ(analyser.frame_at(0).sound, analyser.frame_at(oldest).sound);
  EXPECT_NE(analyser.frame_at(oldest).sound, analyser.frame_at(fed).sound);
}

TEST(SoundAnalyser, RefusesARateOrChannelCountOfZero) {
  EXPECT_THROW(SoundAnalyser(0, 2), std::invalid_argument);
  EXPECT_THROW(SoundAnalyser(44100, 0), std::invalid_argument);
}

TEST(SoundAnalyser, MonoFeedsBothChannels) {
  const AudioBuffer b = sine(700.0, 0.4, 0.2);
  SoundAnalyser analyser(44100, 1);
  analyser.feed(b.samples.data(), b.frame_count());
  const SoundFrame f = analyser.frame_at(analyser.samples_fed());
  EXPECT_EQ(peak_bin(f, 0), 18);  // 700 Hz / 38.28 Hz
  EXPECT_TRUE(
      std::equal(spectrum(f, 0), spectrum(f, 0) + apehost::audio::kSpectrumBins, spectrum(f, 1)));
  EXPECT_TRUE(std::equal(waveform(f, 0), waveform(f, 0) + apehost::audio::kWaveformSamples,
                         waveform(f, 1)));
}

}  // namespace
