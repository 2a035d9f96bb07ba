// Songs for a render or an analysis, decoded as their frames are taken: the frames are the whole
// song's analysis, a file that is refused is refused before the first frame, a decoding error part
// way is bad input naming the file; and the render loop, told only an estimate of a song's length,
// renders every frame the song has.

#include "media/song_file.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "apehost_audio/audio_buffer.hpp"
#include "base/host_error.hpp"
#include "fixed_tick.hpp"
#include "host_test_support.hpp"
#include "media/frame_render.hpp"
#include "media/progress.hpp"
#include "media_test_support.hpp"
#include "plugin/plugin_loader.hpp"

namespace {

using apehost::HostError;
using apehost::SongFrames;
using apehost::audio::SoundFrame;

class SongFile : public ::testing::Test {
 protected:
  hosttest::ScratchDir dir_;
};

TEST_F(SongFile, FramesAreTheWholeSongsAnalysis) {
  hosttest::write_song(dir_ / "song.wav", 2.5);
  std::string error;
  const auto decoded = apehost::audio::decode_audio_file(dir_ / "song.wav", error);
  ASSERT_TRUE(decoded) << error;
  const std::vector<SoundFrame> whole = apehost::audio::analyse(*decoded, 50);

  SongFrames song(dir_ / "song.wav", 50);
  EXPECT_EQ(song.frame_count_hint(), static_cast<std::int64_t>(whole.size()));
  EXPECT_EQ(song.sample_rate(), 44100);
  EXPECT_EQ(song.channels(), 2);
  std::vector<SoundFrame> streamed;
  SoundFrame frame;
  while (song.next(frame)) streamed.push_back(frame);
  EXPECT_FALSE(song.next(frame)) << "stays at the end";
  ASSERT_EQ(streamed.size(), whole.size());
  int beats = 0;
  for (std::size_t k = 0; k < whole.size(); ++k) {
    EXPECT_EQ(streamed[k].sound, whole[k].sound) << "frame " << k;
    EXPECT_EQ(streamed[k].beat, whole[k].beat) << "frame " << k;
    beats += whole[k].beat;
  }
  EXPECT_GE(beats, 2);
  EXPECT_DOUBLE_EQ(song.seconds_decoded(), 2.5);
}

TEST_F(SongFile, RefusedFilesAreRefusedBeforeTheFirstFrameAndBrokenOnesPartWay) {
  hosttest::write_song(dir_ / "empty.wav", 0.0);
  hosttest::write_bytes(dir_ / "notes.txt", {'h', 'i', '\n'});
  for (const auto& [name, reason] : std::vector<std::pair<std::string, std::string>>{
           {"empty.wav", ": contains no sound samples"},
           {"notes.txt", ": cannot read as sound: "},
           {"missing.wav", ": no such file"}}) {
    try {
      SongFrames song(dir_ / name, 60);
      ADD_FAILURE() << name << " opened";
    } catch (const HostError& e) {
      EXPECT_EQ(e.exit_status(), apehost::kExitBadInput);
      EXPECT_EQ(std::string(e.what()).rfind(dir_ / name + reason, 0), 0u) << e.what();
    }
  }

  // Broken 15 s in: the frames come out once their beats are decided, a few seconds behind the
  // decoding.
  hosttest::write_broken_flac(dir_ / "broken.flac", 30.0);
  SongFrames song(dir_ / "broken.flac", 60);
  SoundFrame frame;
  int frames = 0;
  try {
    while (song.next(frame)) ++frames;
    ADD_FAILURE() << "the broken song decoded to its end";
  } catch (const HostError& e) {
    EXPECT_EQ(e.exit_status(), apehost::kExitBadInput);
    EXPECT_EQ(std::string(e.what()).rfind(dir_ / "broken.flac" + ": decoding failed: ", 0), 0u)
        << e.what();
  }
  // The frames before the break came out first, as they were decoded.
  EXPECT_GT(frames, 5 * 60);
  EXPECT_LT(frames, 15 * 60);
}

// Counts frames; nothing else.
class CountingSink final : public apehost::FrameSink {
 public:
  void write(std::uint64_t, const std::uint32_t*, int, int) override { ++frames; }
  void finish() override { finished = true; }
  std::uint64_t frames = 0;
  bool finished = false;
};

TEST_F(SongFile, TheRenderLoopRendersWhatTheSongHasWhateverItsHeaderPromised) {
  testsupport::set_fixed_tick(3);
  const apehost::PluginModule probe = apehost::PluginModule::load(PROBEFX_MODULE);
  auto count = [&](std::uint64_t available, std::uint64_t limit, std::uint64_t expected) {
    apehost::EffectChain chain;
    chain.add(probe, nullptr);
    std::uint64_t given = 0;
    const apehost::FrameFeed feed = [&](apehost::TraceFrame&) { return given++ < available; };
    CountingSink sink;
    const std::uint64_t rendered =
        apehost::render_frames(chain, {}, {8, 4, 60}, limit, expected, feed, sink);
    EXPECT_TRUE(sink.finished);
    EXPECT_EQ(sink.frames, rendered);
    return rendered;
  };
  EXPECT_EQ(count(40, apehost::kUnknownTotal, 30), 40u) << "more than promised";
  EXPECT_EQ(count(25, apehost::kUnknownTotal, 30), 25u) << "fewer than promised";
  EXPECT_EQ(count(40, apehost::kUnknownTotal, apehost::kUnknownTotal), 40u) << "no promise";
  EXPECT_EQ(count(40, 12, 12), 12u) << "--frames caps it";
}

TEST(ProgressLine, WithoutAKnownTotalTheCountAndTheRatesAlone) {
  EXPECT_EQ(apehost::progress_line(0, apehost::kUnknownTotal, 0.0, 30, 10), "0 frames");
  EXPECT_EQ(apehost::progress_line(300, apehost::kUnknownTotal, 10.0, 60, 10),
            "300 frames  30.0 fps  0.50x real time");
}

}  // namespace
