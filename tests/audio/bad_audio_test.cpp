// Sound files whose header gives a sample rate or channel count out of any sane range: refused
// with one line naming the file and what it gives, by every way of reading a file; and the
// analysis refusing such rates and counts handed to it directly.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "apehost_audio/audio_buffer.hpp"
#include "apehost_audio/audio_reader.hpp"
#include "apehost_audio/song_analyser.hpp"
#include "apehost_audio/sound_analysis.hpp"
#include "signals.hpp"

namespace {

using namespace audiotest;
namespace fs = std::filesystem;
using apehost::audio::AudioReader;

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 2; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void put32_big(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A 16-bit PCM WAV file whose header says rate and channels, with 100 sample frames of silence.
std::vector<std::uint8_t> wav_with(std::uint32_t rate, std::uint16_t channels) {
  const std::uint32_t block = 2u * channels;
  const std::uint32_t data_bytes = 100u * (block > 0 ? block : 2u);
  std::vector<std::uint8_t> out = {'R', 'I', 'F', 'F'};
  put32(out, 36 + data_bytes);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put32(out, 16);
  put16(out, 1);  // PCM
  put16(out, channels);
  put32(out, rate);
  put32(out, rate * block);
  put16(out, block);
  put16(out, 16);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  put32(out, data_bytes);
  out.resize(out.size() + data_bytes, 0);
  return out;
}

// The same for Sun's AU format (big-endian, 16-bit linear).
std::vector<std::uint8_t> au_with(std::uint32_t rate, std::uint32_t channels) {
  std::vector<std::uint8_t> out = {'.', 's', 'n', 'd'};
  put32_big(out, 24);
  put32_big(out, 400);
  put32_big(out, 3);
  put32_big(out, rate);
  put32_big(out, channels);
  out.resize(out.size() + 400, 0);
  return out;
}

class BadAudio : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / ("apehost_bad_audio_" + std::string(info->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  // The line every way of reading the file gives; they must all agree.
  std::string refusal(const std::string& path) {
    std::string by_reader;
    EXPECT_FALSE(AudioReader::open(path, by_reader));
    std::string by_decoder;
    EXPECT_FALSE(apehost::audio::decode_audio_file(path, by_decoder));
    std::string by_frames;
    EXPECT_FALSE(apehost::audio::SongFrameReader::open(path, 60, by_frames));
    std::string by_copy;
    EXPECT_FALSE(apehost::audio::copy_to_wav(path, (dir_ / "copy.wav").string(), by_copy));
    EXPECT_EQ(by_decoder, by_reader);
    EXPECT_EQ(by_frames, by_reader);
    EXPECT_EQ(by_copy, by_reader);
    EXPECT_EQ(by_reader.find('\n'), std::string::npos);
    return by_reader;
  }

  fs::path dir_;
};

const std::string kRates = " (a sound file's is 1000 to 768000 Hz)";
const std::string kChannels = " (a sound file has 1 to 256)";

TEST_F(BadAudio, SampleRatesOutOfRangeAreNamed) {
  // libsndfile itself refuses a rate of 0; the others it opens, and the reader refuses them.
  std::string p = write("zero.wav", wav_with(0, 2));
  EXPECT_EQ(refusal(p), p + ": unusable sample rate of 0 Hz" + kRates);
  p = write("huge.wav", wav_with(2147483647u, 2));
  EXPECT_EQ(refusal(p), p + ": unusable sample rate of 2147483647 Hz" + kRates);
  p = write("one.wav", wav_with(1, 1));
  EXPECT_EQ(refusal(p), p + ": unusable sample rate of 1 Hz" + kRates);
  p = write("below.wav", wav_with(999, 1));
  EXPECT_EQ(refusal(p), p + ": unusable sample rate of 999 Hz" + kRates);
  p = write("above.wav", wav_with(768001, 1));
  EXPECT_EQ(refusal(p), p + ": unusable sample rate of 768001 Hz" + kRates);
  p = write("zero.au", au_with(0, 1));
  EXPECT_EQ(refusal(p), p + ": unusable sample rate of 0 Hz" + kRates);
  p = write("huge.au", au_with(2147483647u, 1));
  EXPECT_EQ(refusal(p), p + ": unusable sample rate of 2147483647 Hz" + kRates);
}

TEST_F(BadAudio, ChannelCountsOutOfRangeAreNamed) {
  std::string p = write("none.wav", wav_with(44100, 0));
  EXPECT_EQ(refusal(p), p + ": unusable channel count of 0" + kChannels);
  p = write("many.wav", wav_with(44100, 300));
  EXPECT_EQ(refusal(p), p + ": unusable channel count of 300" + kChannels);
  p = write("absurd.wav", wav_with(44100, 65535));
  EXPECT_EQ(refusal(p), p + ": unusable channel count of 65535" + kChannels);
  p = write("none.au", au_with(8000, 0));
  EXPECT_EQ(refusal(p), p + ": unusable channel count of 0" + kChannels);
  p = write("absurd.au", au_with(8000, 4000000000u));
  EXPECT_EQ(refusal(p).rfind(p + ": unusable channel count of ", 0), 0u);
}

TEST_F(BadAudio, TheEdgesOfTheRangeAreRead) {
  for (const auto& [rate, channels] :
       {std::pair{1000u, 1}, std::pair{768000u, 2}, std::pair{44100u, 256}}) {
    const std::string p = write("edge.wav", wav_with(rate, static_cast<std::uint16_t>(channels)));
    std::string error;
    const auto decoded = apehost::audio::decode_audio_file(p, error);
    ASSERT_TRUE(decoded) << error;
    EXPECT_EQ(decoded->sample_rate, static_cast<int>(rate));
    EXPECT_EQ(decoded->channels, channels);
    EXPECT_EQ(decoded->frame_count(), 100u);
    // And analysed.
    EXPECT_EQ(apehost::audio::analyse(*decoded, 60).size(),
              static_cast<std::size_t>(apehost::audio::frames_covering(100, rate, 60)));
  }
}

TEST(BadAudioFormats, TheAnalysisRefusesThemToo) {
  const std::vector<float> samples(2000, 0.25f);
  EXPECT_TRUE(apehost::audio::analyse(AudioBuffer{2147483647, 1, samples}, 60).empty());
  EXPECT_TRUE(apehost::audio::analyse(AudioBuffer{999, 1, samples}, 60).empty());
  EXPECT_TRUE(apehost::audio::analyse(AudioBuffer{44100, 1000, samples}, 60).empty());
  EXPECT_THROW(apehost::audio::SoundAnalyser(2147483647, 2), std::invalid_argument);
  EXPECT_THROW(apehost::audio::SoundAnalyser(44100, 257), std::invalid_argument);
  EXPECT_THROW(apehost::audio::SongAnalyser(-44100, 2), std::invalid_argument);
  EXPECT_EQ(apehost::audio::beat_lookahead(2147483647), 0);
  std::string error;
  EXPECT_FALSE(apehost::audio::WavWriter::create("unused.wav", 0, 2, error));
  EXPECT_FALSE(apehost::audio::write_wav("unused.wav", AudioBuffer{2147483647, 1, samples}, error));
  EXPECT_FALSE(std::filesystem::exists("unused.wav"));
}

}  // namespace
