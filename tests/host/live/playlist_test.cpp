// Lists of songs: the order they play in, and the list in the window's hands (next, previous, the
// restart rule, songs that will not open), with songs played on SDL's dummy output, which takes
// sound at the real rate like a sound card.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>
#include <stdexcept>

#include "base/host_error.hpp"
#include "live/playlist_order.hpp"
#include "live/playlist_sound.hpp"
#include "live/song_playback.hpp"

namespace {

using apehost::PlaylistOrder;

std::vector<std::size_t> one_pass(PlaylistOrder& order) {
  std::vector<std::size_t> played = {order.current()};
  while (order.place() + 1 < order.size()) {
    EXPECT_TRUE(order.next());
    played.push_back(order.current());
  }
  return played;
}

TEST(PlaylistOrder, InOrderOnceOrRepeated) {
  PlaylistOrder once(3, false, false, 1);
  EXPECT_EQ(one_pass(once), (std::vector<std::size_t>{0, 1, 2}));
  EXPECT_FALSE(once.next()) << "the end of a list that does not repeat";
  EXPECT_EQ(once.current(), 2u);
  EXPECT_TRUE(once.previous());
  EXPECT_TRUE(once.previous());
  EXPECT_FALSE(once.previous()) << "nothing before the first";
  EXPECT_EQ(once.current(), 0u);

  PlaylistOrder repeated(3, false, true, 1);
  EXPECT_TRUE(repeated.previous()) << "before the first: the last";
  EXPECT_EQ(repeated.current(), 2u);
  EXPECT_TRUE(repeated.next());
  EXPECT_EQ(repeated.current(), 0u) << "after the last: the first";
  EXPECT_THROW(PlaylistOrder(0, false, false, 1), std::invalid_argument);
}

TEST(PlaylistOrder, ShuffledEveryPassPlaysEverySongOnceInAnOrderOfItsOwn) {
  std::set<std::vector<std::size_t>> orders;
  for (std::uint32_t seed = 1; seed <= 20; ++seed) {
    PlaylistOrder order(6, true, true, seed);
    for (int pass = 0; pass < 3; ++pass) {
      const std::size_t last_before = order.current();
      if (pass > 0) {
        ASSERT_TRUE(order.next());
        EXPECT_NE(order.current(), last_before) << "a new pass does not repeat the song just heard";
      }
      std::vector<std::size_t> played = one_pass(order);
      orders.insert(played);
      std::sort(played.begin(), played.end());
      EXPECT_EQ(played, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5})) << "seed " << seed;
    }
  }
  EXPECT_GT(orders.size(), 40u) << "orders differ between seeds and passes";
  // The same seed, the same order.
  PlaylistOrder a(6, true, false, 9);
  PlaylistOrder b(6, true, false, 9);
  EXPECT_EQ(one_pass(a), one_pass(b));
}

// Songs of a few seconds, made in memory; a name starting with "bad" does not open.
class PlaylistSoundTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("SDL_AUDIODRIVER", "dummy", 1); }

  apehost::SongOpener opener() {
    return [this](const std::string& path) -> std::unique_ptr<apehost::SongPlayback> {
      opened_.push_back(path);
      if (path.rfind("bad", 0) == 0) throw apehost::bad_input(path, "cannot read as sound");
      auto song = std::make_shared<apehost::audio::AudioBuffer>();
      song->sample_rate = 8000;
      song->channels = 1;
      song->samples.assign(8000 * 8, 0.25f);
      return std::make_unique<apehost::SongPlayback>(song, path, 0.0);
    };
  }
  std::vector<std::string> opened_;
};

TEST_F(PlaylistSoundTest, NextAndPreviousPassOverSongsThatDoNotOpen) {
  testing::internal::CaptureStderr();
  apehost::PlaylistSound list({"one.wav", "bad.wav", "three.wav"},
                              PlaylistOrder(3, false, false, 1), opener());
  EXPECT_EQ(list.title(), "1/3 one.wav");
  list.frame_now();
  list.skip(+1);
  EXPECT_EQ(list.title(), "3/3 three.wav");
  list.skip(-1);
  EXPECT_EQ(list.title(), "1/3 one.wav") << "a bad song is passed over going back too";
  list.skip(+1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "apehost: bad.wav: cannot read as sound (skipped)\n") << "reported once";
  EXPECT_EQ(std::count(opened_.begin(), opened_.end(), "bad.wav"), 1);
  EXPECT_FALSE(list.finished());
  list.skip(+1);
  EXPECT_TRUE(list.finished()) << "N at the last song ends the list";
  EXPECT_EQ(list.songs_started(), 4u);
}

TEST_F(PlaylistSoundTest, PreviousRestartsASongMoreThanThreeSecondsIn) {
  apehost::PlaylistSound list({"one.wav", "two.wav"}, PlaylistOrder(2, false, false, 1), opener());
  list.frame_now();
  list.skip(+1);
  EXPECT_EQ(list.title(), "2/2 two.wav");
  list.seek(5.0);
  list.skip(-1);
  EXPECT_EQ(list.title(), "2/2 two.wav") << "5 s in: the same song again, from its start";
  list.skip(-1);
  EXPECT_EQ(list.title(), "1/2 one.wav") << "at its start: the song before";
  list.skip(-1);
  EXPECT_EQ(list.title(), "1/2 one.wav") << "nothing before the first: it starts again";
  EXPECT_FALSE(list.finished());
}

TEST_F(PlaylistSoundTest, AListWithNothingPlayableIsOneError) {
  testing::internal::CaptureStderr();
  try {
    apehost::PlaylistSound list({"bad1.wav", "bad2.wav"}, PlaylistOrder(2, false, true, 1),
                                opener());
    ADD_FAILURE() << "a list of bad songs opened";
  } catch (const apehost::HostError& e) {
    EXPECT_EQ(e.exit_status(), apehost::kExitBadInput);
    EXPECT_EQ(std::string(e.what()),
              "none of the 2 songs can be played (the first: bad1.wav: cannot read as sound)");
  }
  // One song: its own error, as for any song file.
  try {
    apehost::PlaylistSound list({"bad.wav"}, PlaylistOrder(1, false, false, 1), opener());
    ADD_FAILURE() << "a bad song opened";
  } catch (const apehost::HostError& e) {
    EXPECT_EQ(std::string(e.what()), "bad.wav: cannot read as sound");
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "nothing else was said";
  // A bad first song is skipped, and said so, once a song plays.
  testing::internal::CaptureStderr();
  apehost::PlaylistSound list({"bad.wav", "two.wav"}, PlaylistOrder(2, false, false, 1), opener());
  EXPECT_EQ(list.title(), "2/2 two.wav");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "apehost: bad.wav: cannot read as sound (skipped)\n");
}

TEST_F(PlaylistSoundTest, SeekingMovesThePictureWithinTheSong) {
  auto song = std::make_shared<apehost::audio::AudioBuffer>();
  song->sample_rate = 8000;
  song->channels = 1;
  // Silence for 5 s, then a loud tone: where the picture is shows in the waveform.
  song->samples.assign(8000 * 5, 0.0f);
  song->samples.resize(8000 * 12, 0.5f);
  apehost::SongPlayback playback(song, "tone", 0.0);
  EXPECT_EQ(playback.frame_now().sound[apehost::audio::waveform_start(0)], 0);
  playback.seek(7.0);
  EXPECT_NEAR(playback.shown_seconds(), 7.0, 0.05);
  EXPECT_EQ(playback.frame_now().sound[apehost::audio::waveform_start(0) + 100], 64)
      << "round(0.5 x 127)";
  playback.seek(-10.0);
  EXPECT_NEAR(playback.shown_seconds(), 0.0, 0.05) << "not before the start";
  playback.seek(30.0);
  EXPECT_TRUE(playback.finished()) << "past the end: the song is over";
}

}  // namespace
