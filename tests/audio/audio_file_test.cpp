#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "apehost_audio/audio_buffer.hpp"
#include "apehost_audio/audio_reader.hpp"
#include "apehost_audio/sound_analysis.hpp"
#include "signals.hpp"

namespace {

using namespace audiotest;
using apehost::audio::decode_audio_file;
using apehost::audio::write_wav;
namespace fs = std::filesystem;

// A fresh directory per test, removed afterwards.
class AudioFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / ("apehost_audio_test_" + std::string(info->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

// Left a 440 Hz tone, right a quieter 1 kHz tone: a swap or an interleaving fault shows.
AudioBuffer stereo_fixture(int rate = 44100) {
  AudioBuffer b;
  b.sample_rate = rate;
  b.channels = 2;
  for (int n = 0; n < rate / 2; ++n) {
    b.samples.push_back(static_cast<float>(0.6 * std::sin(2.0 * kPi * 440.0 * n / rate)));
    b.samples.push_back(static_cast<float>(0.25 * std::sin(2.0 * kPi * 1000.0 * n / rate)));
  }
  return b;
}

// Writes buffer in any format libsndfile can write; false when this libsndfile cannot.
bool write_with_sndfile(const std::string& path, const AudioBuffer& b, int format) {
  SF_INFO info{};
  info.samplerate = b.sample_rate;
  info.channels = b.channels;
  info.format = format;
  if (!sf_format_check(&info)) return false;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) return false;
  const auto frames = static_cast<sf_count_t>(b.frame_count());
  const bool ok = sf_writef_float(file, b.samples.data(), frames) == frames;
  return sf_close(file) == 0 && ok;
}

// Root mean square of a channel, over the middle of the sound (codecs may pad the ends).
double middle_rms(const AudioBuffer& b, int channel) {
  const std::size_t frames = b.frame_count();
  double sum = 0.0;
  std::size_t count = 0;
  for (std::size_t f = frames / 4; f < frames * 3 / 4; ++f) {
    const double x =
        b.samples[f * static_cast<std::size_t>(b.channels) + static_cast<std::size_t>(channel)];
    sum += x * x;
    ++count;
  }
  return std::sqrt(sum / static_cast<double>(count));
}

TEST_F(AudioFiles, WavRoundTripKeepsRateChannelsAndSamples) {
  const AudioBuffer original = stereo_fixture(48000);
  std::string error;
  ASSERT_TRUE(write_wav(path("a.wav"), original, error)) << error;
  const auto decoded = decode_audio_file(path("a.wav"), error);
  ASSERT_TRUE(decoded) << error;
  EXPECT_EQ(decoded->sample_rate, 48000);
  EXPECT_EQ(decoded->channels, 2);
  ASSERT_EQ(decoded->samples.size(), original.samples.size());
  // 16-bit PCM: within one step of 1/32768.
  for (std::size_t i = 0; i < original.samples.size(); ++i) {
    ASSERT_NEAR(decoded->samples[i], original.samples[i], 1.0 / 32768.0 + 1e-7) << "sample " << i;
  }
}

TEST_F(AudioFiles, WavWriteClipsInsteadOfWrapping) {
  AudioBuffer loud{44100, 1, {1.5f, -2.0f, 0.25f}};
  std::string error;
  ASSERT_TRUE(write_wav(path("loud.wav"), loud, error)) << error;
  const auto decoded = decode_audio_file(path("loud.wav"), error);
  ASSERT_TRUE(decoded) << error;
  ASSERT_EQ(decoded->samples.size(), 3u);
  EXPECT_GT(decoded->samples[0], 0.999f);
  EXPECT_LE(decoded->samples[1], -0.999f);
  EXPECT_NEAR(decoded->samples[2], 0.25f, 1e-4f);
}

TEST_F(AudioFiles, DecodesFlacOggAndMp3) {
  const AudioBuffer original = stereo_fixture();
  struct Format {
    const char* name;
    int format;
    bool lossless;
  };
  const Format formats[] = {
      {"a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, true},
      {"a.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, false},
      {"a.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, false},
  };
  for (const Format& f : formats) {
    SCOPED_TRACE(f.name);
    if (!write_with_sndfile(path(f.name), original, f.format)) {
      ADD_FAILURE() << "this libsndfile cannot write " << f.name << " to test with";
      continue;
    }
    std::string error;
    const auto decoded = decode_audio_file(path(f.name), error);
    ASSERT_TRUE(decoded) << error;
    EXPECT_EQ(decoded->sample_rate, 44100);
    EXPECT_EQ(decoded->channels, 2);
    // Lossy codecs pad the start and end by a frame or so.
    EXPECT_NEAR(static_cast<double>(decoded->frame_count()),
                static_cast<double>(original.frame_count()), f.lossless ? 0.0 : 3000.0);
    EXPECT_NEAR(middle_rms(*decoded, 0), 0.6 / std::sqrt(2.0), 0.03);
    EXPECT_NEAR(middle_rms(*decoded, 1), 0.25 / std::sqrt(2.0), 0.03);
  }
}

TEST_F(AudioFiles, DecodedMonoFeedsBothChannelsOfTheAnalysis) {
  std::string error;
  ASSERT_TRUE(write_wav(path("mono.wav"), sine(440.0, 0.5), error)) << error;
  const auto decoded = decode_audio_file(path("mono.wav"), error);
  ASSERT_TRUE(decoded) << error;
  EXPECT_EQ(decoded->channels, 1);
  const auto frames = apehost::audio::analyse(*decoded, 60);
  const SoundFrame& f = frames.at(15);
  EXPECT_EQ(peak_bin(f, 0), 11);  // 440 Hz / 38.28 Hz
  EXPECT_EQ(peak_bin(f, 1), 11);
}

// Reads count sample frames from where the reader is.
std::vector<float> read_frames(apehost::audio::AudioReader& reader, std::int64_t count) {
  std::vector<float> out(static_cast<std::size_t>(count * reader.channels()));
  const std::int64_t got = reader.read(out.data(), count);
  out.resize(got < 0 ? 0 : static_cast<std::size_t>(got * reader.channels()));
  return out;
}

TEST_F(AudioFiles, SeekingMovesWhereTheNextReadStartsToTheSample) {
  // A playing song is moved with the seek keys: the reader must land on the very sample asked
  // for, at the end give the end, and refuse a place past it without breaking the reading.
  const AudioBuffer original = stereo_fixture();
  const auto length = static_cast<std::int64_t>(original.frame_count());
  std::string error;
  ASSERT_TRUE(write_wav(path("a.wav"), original, error)) << error;
  ASSERT_TRUE(write_with_sndfile(path("a.flac"), original, SF_FORMAT_FLAC | SF_FORMAT_PCM_16));
  for (const char* name : {"a.wav", "a.flac"}) {
    SCOPED_TRACE(name);
    const auto decoded = decode_audio_file(path(name), error);
    ASSERT_TRUE(decoded) << error;
    auto frames_of = [&](std::int64_t from, std::int64_t count) {
      return std::vector<float>(decoded->samples.begin() + from * 2,
                                decoded->samples.begin() + (from + count) * 2);
    };
    const auto reader = apehost::audio::AudioReader::open(path(name), error);
    ASSERT_TRUE(reader) << error;
    read_frames(*reader, 1000);
    ASSERT_TRUE(reader->seek(15000, error)) << error;
    EXPECT_EQ(read_frames(*reader, 500), frames_of(15000, 500)) << "forward";
    ASSERT_TRUE(reader->seek(7, error)) << error;
    EXPECT_EQ(read_frames(*reader, 300), frames_of(7, 300)) << "back";
    // Past the end: refused, named, and the reading goes on where it was.
    EXPECT_FALSE(reader->seek(length + 4410, error));
    EXPECT_EQ(error.rfind(path(name) + ": cannot seek to sample frame " +
                              std::to_string(length + 4410) + ": ",
                          0),
              0u)
        << error;
    EXPECT_EQ(read_frames(*reader, 100), frames_of(307, 100)) << "not a decoding error";
    EXPECT_FALSE(reader->seek(-1, error));
    // At the end: nothing more, and no error, a refused seek just before included.
    ASSERT_TRUE(reader->seek(length - 50, error)) << error;
    EXPECT_EQ(read_frames(*reader, 100), frames_of(length - 50, 50));
    EXPECT_FALSE(reader->seek(length + 1, error));
    float spare[8];
    EXPECT_EQ(reader->read(spare, 4), 0) << reader->error();
    ASSERT_TRUE(reader->seek(length, error)) << error;
    EXPECT_EQ(reader->read(spare, 4), 0) << reader->error();
    EXPECT_EQ(reader->error(), "");
    EXPECT_EQ(reader->frames_read(), 1000 + 500 + 300 + 100 + 50);
  }
}

TEST_F(AudioFiles, MissingFileIsOneClearLine) {
  std::string error;
  EXPECT_FALSE(decode_audio_file(path("nothing.wav"), error));
  EXPECT_EQ(error, path("nothing.wav") + ": no such file");
}

TEST_F(AudioFiles, NonAudioFileIsOneClearLine) {
  std::ofstream(path("notes.txt")) << "These are not the samples you are looking for.\n";
  std::string error;
  EXPECT_FALSE(decode_audio_file(path("notes.txt"), error));
  EXPECT_EQ(error.rfind(path("notes.txt") + ": cannot read as sound: ", 0), 0u) << error;
  EXPECT_GT(error.size(), (path("notes.txt") + ": cannot read as sound: ").size());
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

TEST_F(AudioFiles, EmptyFileAndDirectoryAreRefused) {
  std::ofstream(path("empty.wav")).close();
  std::string error;
  EXPECT_FALSE(decode_audio_file(path("empty.wav"), error));
  EXPECT_EQ(error.rfind(path("empty.wav") + ": ", 0), 0u) << error;
  EXPECT_FALSE(decode_audio_file(dir_.string(), error));
  EXPECT_EQ(error, dir_.string() + ": is a directory, not a sound file");
}

TEST_F(AudioFiles, WavWithoutSamplesIsRefused) {
  std::string error;
  ASSERT_TRUE(write_wav(path("silent.wav"), AudioBuffer{44100, 2, {}}, error)) << error;
  EXPECT_FALSE(decode_audio_file(path("silent.wav"), error));
  EXPECT_EQ(error, path("silent.wav") + ": contains no sound samples");
}

TEST_F(AudioFiles, WriteFailureNamesThePath) {
  std::string error;
  const std::string target = path("no/such/dir/out.wav");
  EXPECT_FALSE(write_wav(target, stereo_fixture(), error));
  EXPECT_EQ(error.rfind(target + ": cannot create: ", 0), 0u) << error;
  EXPECT_FALSE(write_wav(path("x.wav"), AudioBuffer{0, 2, {0.0f, 0.0f}}, error));
  EXPECT_EQ(error.rfind(path("x.wav") + ": ", 0), 0u) << error;
}

}  // namespace
