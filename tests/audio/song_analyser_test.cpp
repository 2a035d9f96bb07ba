// The analysis of a song as it is decoded (SongAnalyser, SongFrameReader): the same bytes as the
// whole-song analyse(), frames out within the beat look-ahead, and the files it reads and writes
// in pieces.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "apehost_audio/audio_reader.hpp"
#include "apehost_audio/demo_track.hpp"
#include "apehost_audio/song_analyser.hpp"
#include "apehost_audio/sound_analysis.hpp"
#include "drum_songs.hpp"
#include "signals.hpp"

namespace {

using namespace audiotest;
using apehost::audio::analyse;
using apehost::audio::frame_start_sample;
using apehost::audio::SongAnalyser;
using apehost::audio::SongFrameReader;
namespace fs = std::filesystem;

struct Streamed {
  std::vector<SoundFrame> frames;
  std::vector<std::int64_t> fed_when_taken;  // samples fed when each frame came out
  std::size_t most_waiting = 0;  // the most frames analysed but not yet out, in frame numbers
};

// Feeds the buffer in chunks cycling through the sizes given, taking every frame that is ready
// after each chunk, then finishes.
Streamed stream_song(const AudioBuffer& b, int fps, const std::vector<std::int64_t>& chunks) {
  SongAnalyser analyser(b.sample_rate, b.channels, fps);
  Streamed out;
  const auto total = static_cast<std::int64_t>(b.frame_count());
  std::int64_t fed = 0;
  SoundFrame frame;
  auto take = [&] {
    while (analyser.next_frame(frame)) {
      out.frames.push_back(frame);
      out.fed_when_taken.push_back(fed);
    }
    // Frames whose end has been fed and that are still inside.
    std::int64_t analysed = 0;
    while (frame_start_sample(analysed + 1, b.sample_rate, fps) <= fed) ++analysed;
    const auto waiting = static_cast<std::int64_t>(analysed) - analyser.frames_taken();
    out.most_waiting =
        std::max(out.most_waiting, static_cast<std::size_t>(std::max<std::int64_t>(waiting, 0)));
  };
  for (std::size_t i = 0; fed < total; ++i) {
    const std::int64_t n = std::min(chunks[i % chunks.size()], total - fed);
    analyser.feed(b.samples.data() + fed * b.channels, static_cast<std::size_t>(n));
    fed += n;
    take();
  }
  analyser.finish();
  take();
  EXPECT_EQ(analyser.samples_fed(), total);
  return out;
}

void expect_same_frames(const std::vector<SoundFrame>& streamed,
                        const std::vector<SoundFrame>& whole) {
  ASSERT_EQ(streamed.size(), whole.size());
  for (std::size_t k = 0; k < whole.size(); ++k) {
    ASSERT_EQ(streamed[k].sound, whole[k].sound) << "frame " << k;
    ASSERT_EQ(streamed[k].beat, whole[k].beat) << "frame " << k;
  }
}

// Three channels: the stereo song and a third that only the beat tracker hears (its mix of all).
AudioBuffer with_third_channel(const AudioBuffer& stereo) {
  AudioBuffer b;
  b.sample_rate = stereo.sample_rate;
  b.channels = 3;
  Noise noise;
  for (std::size_t f = 0; f < stereo.frame_count(); ++f) {
    b.samples.push_back(stereo.samples[2 * f]);
    b.samples.push_back(stereo.samples[2 * f + 1]);
    b.samples.push_back(static_cast<float>(0.2 * noise.next()));
  }
  return b;
}

TEST(SongAnalyser, GivesTheWholeSongAnalysisByteForByte) {
  // Rates whose frames do not fall on whole samples, mono, stereo and three channels, beats at
  // 86 to 172 bpm, and chunks of every size from one sample frame up.
  const std::vector<std::int64_t> chunks = {4096, 1, 517, 44100, 64, 3000};
  struct Case {
    const char* song;
    int fps;
  };
  for (const Case c : {Case{"hiphop-86-22k", 60}, Case{"house-124-stereo-48k", 24},
                       Case{"dnb-172-quiet-intro", 60}}) {
    SCOPED_TRACE(c.song);
    const AudioBuffer song = drum_song(c.song).audio;
    const auto whole = analyse(song, c.fps);
    ASSERT_GT(beat_frames(whole).size(), 20u);
    expect_same_frames(stream_song(song, c.fps, chunks).frames, whole);
    if (song.channels == 2) {
      const AudioBuffer three = with_third_channel(song);
      expect_same_frames(stream_song(three, c.fps, chunks).frames, analyse(three, c.fps));
    }
  }
  // The demo track: stereo, 44.1 kHz, a long fade at the end.
  const AudioBuffer demo = apehost::audio::synthesize_demo_track();
  expect_same_frames(stream_song(demo, 60, {8192}).frames, analyse(demo, 60));
}

TEST(SongAnalyser, LetsFramesOutWithinTheBeatLookahead) {
  const AudioBuffer song = drum_song("ramp-160-176").audio;
  constexpr std::int64_t kChunk = 1000;
  const Streamed s = stream_song(song, 60, {kChunk});
  const std::int64_t lookahead = apehost::audio::beat_lookahead(song.sample_rate);
  // About six seconds, the first tempo's window; never more than seven.
  EXPECT_GT(lookahead, 6 * song.sample_rate);
  EXPECT_LT(lookahead, 7 * song.sample_rate);
  const auto total = static_cast<std::int64_t>(song.frame_count());
  for (std::size_t k = 0; k < s.frames.size(); ++k) {
    const std::int64_t end = frame_start_sample(static_cast<std::int64_t>(k) + 1, 44100, 60);
    // Out once the sound a look-ahead past its end has come (or the song has ended)...
    ASSERT_LE(s.fed_when_taken[k], std::min(end + lookahead + kChunk, total)) << "frame " << k;
    // ... and never before its own end.
    ASSERT_GE(s.fed_when_taken[k], std::min(end, total)) << "frame " << k;
  }
  // So it holds no more than the look-ahead's worth of frames.
  EXPECT_LE(s.most_waiting, static_cast<std::size_t>((lookahead + kChunk) * 60 / 44100 + 2));
  // After the first seconds, beats are decided well inside that: about 3.6 s.
  std::int64_t latest = 0;
  for (std::size_t k = 10 * 60; k < s.frames.size() - 6 * 60; ++k) {
    const std::int64_t end = frame_start_sample(static_cast<std::int64_t>(k) + 1, 44100, 60);
    latest = std::max(latest, s.fed_when_taken[k] - end);
  }
  EXPECT_LT(latest, 4 * 44100);
}

TEST(SongAnalyser, ShortAndEmptySounds) {
  {
    SongAnalyser analyser(44100, 2);
    analyser.finish();
    SoundFrame frame;
    EXPECT_FALSE(analyser.next_frame(frame));
  }
  for (const double seconds : {1.0 / 44100.0, 0.01, 0.5, 2.5}) {
    const AudioBuffer b = sine(440.0, 0.5, seconds);
    expect_same_frames(stream_song(b, 60, {333}).frames, analyse(b, 60));
  }
}

TEST(SongAnalyser, HoldsFramesUntilTheyAreFinal) {
  const AudioBuffer b = click_track(120.0, 3.0, 0.1);
  SongAnalyser analyser(44100, 1);
  analyser.feed(b.samples.data(), b.frame_count());
  SoundFrame frame;
  // Three seconds in, no beat is decided yet: nothing comes out before the end is known.
  EXPECT_FALSE(analyser.next_frame(frame));
  EXPECT_EQ(analyser.frames_taken(), 0);
  analyser.finish();
  int count = 0;
  while (analyser.next_frame(frame)) ++count;
  EXPECT_EQ(count, 180);
  // Fed after the end: ignored.
  analyser.feed(b.samples.data(), 100);
  EXPECT_EQ(analyser.samples_fed(), static_cast<std::int64_t>(b.frame_count()));
}

TEST(SongAnalyser, RefusesRatesChannelsAndFrameRatesOutOfRange) {
  EXPECT_THROW(SongAnalyser(0, 2), std::invalid_argument);
  EXPECT_THROW(SongAnalyser(2147483647, 2), std::invalid_argument);
  EXPECT_THROW(SongAnalyser(44100, 0), std::invalid_argument);
  EXPECT_THROW(SongAnalyser(44100, 100000), std::invalid_argument);
  EXPECT_THROW(SongAnalyser(44100, 2, 0), std::invalid_argument);
  EXPECT_THROW(SongAnalyser(44100, 2, -60), std::invalid_argument);
  EXPECT_NO_THROW(SongAnalyser(apehost::audio::kMinSampleRate, apehost::audio::kMaxChannels));
}

// A fresh directory per test, removed afterwards.
class SongFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / ("apehost_song_files_" + std::string(info->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

std::vector<char> file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST_F(SongFiles, FrameReaderGivesTheFramesOfTheDecodedFile) {
  // Written in pieces by the streaming writer.
  const AudioBuffer song = drum_song("tempo-change-100-128").audio;
  std::string error;
  {
    const auto writer =
        apehost::audio::WavWriter::create(path("song.wav"), song.sample_rate, song.channels, error);
    ASSERT_TRUE(writer) << error;
    for (std::size_t f = 0; f < song.frame_count(); f += 10000) {
      const auto n =
          static_cast<std::int64_t>(std::min<std::size_t>(10000, song.frame_count() - f));
      ASSERT_TRUE(writer->write(song.samples.data() + f * song.channels, n, error)) << error;
    }
    ASSERT_TRUE(writer->close(error)) << error;
  }
  const auto decoded = apehost::audio::decode_audio_file(path("song.wav"), error);
  ASSERT_TRUE(decoded) << error;
  const auto whole = analyse(*decoded, 60);

  const auto reader = SongFrameReader::open(path("song.wav"), 60, error);
  ASSERT_TRUE(reader) << error;
  EXPECT_EQ(reader->frame_count_hint(), static_cast<std::int64_t>(whole.size()));
  EXPECT_EQ(reader->reader().sample_rate(), 44100);
  std::vector<SoundFrame> frames;
  SoundFrame frame;
  while (reader->next(frame)) frames.push_back(frame);
  EXPECT_EQ(reader->error(), "");
  expect_same_frames(frames, whole);
  EXPECT_FALSE(reader->next(frame));
}

TEST_F(SongFiles, FrameReaderFailuresAreOneLineNamingTheFile) {
  std::string error;
  EXPECT_FALSE(SongFrameReader::open(path("missing.flac"), 60, error));
  EXPECT_EQ(error, path("missing.flac") + ": no such file");
  EXPECT_FALSE(SongFrameReader::open(path("missing.flac"), 0, error));

  ASSERT_TRUE(apehost::audio::write_wav(path("empty.wav"), AudioBuffer{44100, 2, {}}, error));
  const auto reader = SongFrameReader::open(path("empty.wav"), 60, error);
  ASSERT_TRUE(reader) << error;
  SoundFrame frame;
  EXPECT_FALSE(reader->next(frame));
  EXPECT_EQ(reader->error(), path("empty.wav") + ": contains no sound samples");
}

TEST_F(SongFiles, CopyToWavWritesWhatWholeDecodingWould) {
  // A FLAC file, copied piece by piece, against decoding it whole and writing that.
  const AudioBuffer song = drum_song("house-124-stereo-48k").audio;
  SF_INFO info{};
  info.samplerate = song.sample_rate;
  info.channels = song.channels;
  info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
  SNDFILE* flac = sf_open(path("song.flac").c_str(), SFM_WRITE, &info);
  ASSERT_NE(flac, nullptr) << sf_strerror(nullptr);
  const auto frames = static_cast<sf_count_t>(song.frame_count());
  ASSERT_EQ(sf_writef_float(flac, song.samples.data(), frames), frames);
  ASSERT_EQ(sf_close(flac), 0);

  std::string error;
  ASSERT_TRUE(apehost::audio::copy_to_wav(path("song.flac"), path("copy.wav"), error)) << error;
  const auto decoded = apehost::audio::decode_audio_file(path("song.flac"), error);
  ASSERT_TRUE(decoded) << error;
  ASSERT_TRUE(apehost::audio::write_wav(path("whole.wav"), *decoded, error)) << error;
  EXPECT_EQ(file_bytes(path("copy.wav")), file_bytes(path("whole.wav")));
  EXPECT_GT(file_bytes(path("copy.wav")).size(), song.samples.size() * 2);

  EXPECT_FALSE(apehost::audio::copy_to_wav(path("song.flac"), path("no/dir/copy.wav"), error));
  EXPECT_EQ(error.rfind(path("no/dir/copy.wav") + ": cannot create: ", 0), 0u) << error;
  EXPECT_FALSE(apehost::audio::copy_to_wav(path("nothing.flac"), path("copy.wav"), error));
  EXPECT_EQ(error, path("nothing.flac") + ": no such file");
}

}  // namespace
