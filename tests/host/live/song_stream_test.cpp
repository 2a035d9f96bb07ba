// A song played as it is decoded, with the device's callback and the window played by the test:
// what the device is given is the song's sound; fed ahead of the picture, the analysis gives the
// whole song's frames byte for byte, beat flags included; a seek starts the sound and the analysis
// afresh where it lands (the frames then those of the song as if it began there); the end and a
// decoding error part way stop the sound where they are.

#include "live/song_stream.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "apehost_audio/audio_buffer.hpp"
#include "apehost_audio/audio_reader.hpp"
#include "apehost_audio/sound_analysis.hpp"
#include "live/song_source.hpp"

namespace {

using apehost::SongSource;
using apehost::SongStream;
using apehost::audio::AudioBuffer;
using apehost::audio::frame_start_sample;
using apehost::audio::SoundFrame;

constexpr int kRate = 22050;
constexpr int kFps = 60;
// Waits of the window's thread long enough never to run out, even under the sanitizers: the
// frames compared must all have had their look-ahead.
constexpr double kPatient = 20.0;

// A kick every half second (120 bpm) over a tone on each channel, all of it above 0.1 so that
// silence shows (no sample of the song is 0); and a third channel of noise that must never be
// heard or shown.
std::shared_ptr<AudioBuffer> song(double seconds, int channels = 2) {
  constexpr double kPi = 3.141592653589793;
  auto b = std::make_shared<AudioBuffer>();
  b->sample_rate = kRate;
  b->channels = channels;
  const auto frames = static_cast<std::size_t>(seconds * kRate);
  std::uint32_t noise = 7;
  for (std::size_t n = 0; n < frames; ++n) {
    const double t = static_cast<double>(n) / kRate;
    const double since = std::fmod(t, 0.5);
    const double kick = 0.3 * std::exp(-since * 25.0) * std::sin(2.0 * kPi * 55.0 * since);
    b->samples.push_back(static_cast<float>(0.5 + kick + 0.1 * std::sin(2.0 * kPi * 220.0 * t)));
    if (channels > 1) {
      b->samples.push_back(static_cast<float>(0.5 + kick + 0.05 * std::sin(2.0 * kPi * 660.0 * t)));
    }
    for (int c = 2; c < channels; ++c) {
      noise = noise * 1664525u + 1013904223u;
      b->samples.push_back(static_cast<float>(noise >> 8) / 16777216.0f - 0.5f);
    }
  }
  return b;
}

// The song from sample frame `from` on, its first two channels.
AudioBuffer from(const AudioBuffer& b, std::int64_t first) {
  AudioBuffer part;
  part.sample_rate = b.sample_rate;
  part.channels = std::min(b.channels, 2);
  for (std::size_t f = static_cast<std::size_t>(first); f < b.frame_count(); ++f) {
    for (int c = 0; c < part.channels; ++c)
      part.samples.push_back(
          b.samples[f * static_cast<std::size_t>(b.channels) + static_cast<std::size_t>(c)]);
  }
  return part;
}

// The device's side: takes buffers of 512 sample frames and keeps each with the position it was
// told. The song's samples are never 0, so what it was given is the song up to the first 0 of a
// buffer, silence after.
struct Device {
  static constexpr int kFrames = 512;
  struct Buffer {
    std::int64_t position;  // the song position after it
    std::int64_t sound;     // sample frames of song before the silence
    std::vector<float> values;
  };
  explicit Device(SongStream& s) : stream(s) {}
  void play() {
    Buffer b;
    b.values.resize(kFrames * static_cast<std::size_t>(stream.channels()));
    b.position = stream.play(b.values.data(), kFrames);
    const auto zero = std::find(b.values.begin(), b.values.end(), 0.0f);
    b.sound = (zero - b.values.begin()) / stream.channels();
    EXPECT_TRUE(std::all_of(zero, b.values.end(), [](float v) { return v == 0.0f; }))
        << "silence only at the end of a buffer";
    position = b.position;
    buffers.push_back(std::move(b));
  }
  void play_until(std::int64_t until) {
    while (position < until) play();
  }
  // Sample frames of song played from buffer `first` on.
  std::int64_t sound_from(std::size_t first) const {
    std::int64_t total = 0;
    for (std::size_t i = first; i < buffers.size(); ++i) total += buffers[i].sound;
    return total;
  }
  SongStream& stream;
  std::int64_t position = 0;
  std::vector<Buffer> buffers;
};

// Every buffer from `first` on holds the song's own samples (its first two channels) for the
// positions the device was told; the first with sound starts at `start`.
void expect_the_song(const Device& device, const AudioBuffer& b, std::size_t first,
                     std::int64_t start) {
  bool begun = false;
  for (std::size_t i = first; i < device.buffers.size(); ++i) {
    const Device::Buffer& buffer = device.buffers[i];
    if (buffer.sound == 0) continue;
    // Where this buffer's sound starts: where the one before ended, unless a seek moved it (the
    // silence after the end of the sound counts; while the decoding is behind, it does not).
    const std::int64_t before = i == 0 ? 0 : device.buffers[i - 1].position;
    const bool goes_on =
        buffer.position == before + buffer.sound || buffer.position == before + Device::kFrames;
    const std::int64_t from = goes_on ? before : buffer.position - buffer.sound;
    if (!begun) {
      EXPECT_EQ(from, start) << "where the sound begins";
    }
    begun = true;
    for (std::int64_t f = 0; f < buffer.sound; ++f) {
      for (int c = 0; c < device.stream.channels(); ++c) {
        const float heard =
            buffer.values[static_cast<std::size_t>(f * device.stream.channels() + c)];
        const float sample = b.samples[static_cast<std::size_t>((from + f) * b.channels + c)];
        ASSERT_EQ(heard, sample) << "buffer " << i << ", sample frame " << from + f;
      }
    }
  }
  EXPECT_TRUE(begun);
}

// A window showing frame after frame at kFps from sample position `origin` on, the device just
// behind it, until `count` frames.
std::vector<SoundFrame> show(SongStream& stream, Device& device, std::int64_t origin,
                             std::int64_t count) {
  std::vector<SoundFrame> frames;
  for (std::int64_t k = 0; k < count; ++k) {
    const std::int64_t end = origin + frame_start_sample(k + 1, kRate, kFps);
    frames.push_back(stream.frame_at(end));
    device.play_until(end);
  }
  return frames;
}

// Plays until the stream has taken up the seeks asked for, the window asking for a frame at
// `shown` meanwhile.
void take_up(SongStream& stream, Device& device, std::int64_t shown) {
  for (int tries = 0; tries < 20000 && stream.seeking(); ++tries) {
    (void)stream.frame_at(shown);
    device.play();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_FALSE(stream.seeking());
}

void expect_same_frames(const std::vector<SoundFrame>& shown,
                        const std::vector<SoundFrame>& whole) {
  ASSERT_EQ(shown.size(), whole.size());
  int beats = 0;
  for (std::size_t k = 0; k < whole.size(); ++k) {
    // The last frame runs past the end of the sound: the whole-song analysis pads it with
    // silence, the window shows the sound as it ends.
    if (k + 1 < whole.size()) {
      EXPECT_EQ(shown[k].sound, whole[k].sound) << "frame " << k;
    }
    EXPECT_EQ(shown[k].beat, whole[k].beat) << "frame " << k;
    beats += whole[k].beat;
  }
  EXPECT_GT(beats, 10) << "a song with beats to compare";
}

class SongStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("apehost_song_stream_" + std::string(info->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(SongStreamTest, FedAheadOfThePictureTheFramesAreTheWholeSongsAnalysis) {
  const auto music = song(12.0);
  const std::vector<SoundFrame> whole = apehost::audio::analyse(*music, kFps);
  std::string error;
  ASSERT_TRUE(apehost::audio::write_wav((dir_ / "song.wav").string(), *music, error)) << error;
  const std::string sources[] = {"memory", "file"};
  for (const std::string& kind : sources) {
    SCOPED_TRACE(kind);
    // A 16-bit file gives the 16-bit steps of its samples; in memory, the samples themselves.
    std::unique_ptr<SongSource> source =
        kind == "memory" ? apehost::song_in_memory(music)
                         : apehost::open_song_file((dir_ / "song.wav").string());
    const auto decoded =
        kind == "memory" ? *music
                         : *apehost::audio::decode_audio_file((dir_ / "song.wav").string(), error);
    const std::vector<SoundFrame> expected =
        kind == "memory" ? whole : apehost::audio::analyse(decoded, kFps);
    SongStream stream(std::move(source), true, 0, kPatient);
    EXPECT_EQ(stream.end(), static_cast<std::int64_t>(music->frame_count())) << "the header's";
    Device device(stream);
    expect_same_frames(show(stream, device, 0, static_cast<std::int64_t>(expected.size())),
                       expected);
    // The device was given the song, sample for sample, then silence.
    device.play_until(static_cast<std::int64_t>(decoded.frame_count()) + 2048);
    expect_the_song(device, decoded, 0, 0);
    EXPECT_EQ(device.sound_from(0), static_cast<std::int64_t>(decoded.frame_count()));
    EXPECT_EQ(stream.end(), static_cast<std::int64_t>(decoded.frame_count()));
    EXPECT_EQ(stream.failure(), "");
  }
}

TEST_F(SongStreamTest, ASeekStartsTheSoundAndTheAnalysisAfreshWhereItLands) {
  const auto music = song(16.0, 3);
  SongStream stream(apehost::song_in_memory(music), true, 0, kPatient);
  EXPECT_EQ(stream.channels(), 2) << "the first two of three";
  Device device(stream);
  show(stream, device, 0, 30);
  EXPECT_FALSE(stream.seeking());

  // To 5 s: the device goes on exactly there. The analysis starts one spectrum window early: from
  // there on its frames are the song's as if it began there, beats included.
  const std::int64_t target = 5 * kRate;
  std::size_t first = device.buffers.size();
  stream.seek(target, target);
  EXPECT_TRUE(stream.seeking()) << "until the device has taken it up";
  const std::int64_t start = target - apehost::audio::kFftSize;
  take_up(stream, device, start);  // (a frame at the target would take the beats before it)
  const std::vector<SoundFrame> afresh = apehost::audio::analyse(from(*music, start), kFps);
  expect_same_frames(show(stream, device, start, static_cast<std::int64_t>(afresh.size())), afresh);
  expect_the_song(device, *music, first, target);

  // Seeks asked for one after another, before the device has played: the last one holds.
  first = device.buffers.size();
  stream.seek(2 * kRate, 2 * kRate);
  stream.seek(9 * kRate, 9 * kRate);
  EXPECT_TRUE(stream.seeking());
  take_up(stream, device, 9 * kRate);
  device.play_until(device.position + kRate);
  std::size_t at_nine = first;
  while (at_nine < device.buffers.size() &&
         device.buffers[at_nine].position - device.buffers[at_nine].sound != 9 * kRate) {
    ++at_nine;
  }
  ASSERT_LT(at_nine, device.buffers.size()) << "the sound goes on at 9 s";
  expect_the_song(device, *music, at_nine, 9 * kRate);
  EXPECT_EQ(device.sound_from(at_nine), device.position - 9 * kRate) << "without a gap";

  // Past the end: the sound ends where it would have started again.
  stream.seek(40 * kRate, 40 * kRate);
  take_up(stream, device, 40 * kRate);
  EXPECT_EQ(stream.end(), 40 * kRate - apehost::audio::kFftSize);
  device.play_until(device.position + 1);
  EXPECT_GE(device.position, 40 * kRate) << "the clock runs on past the end";
}

// Sound that breaks after `good` sample frames, as a file whose decoder gives up does.
class BreakingSource final : public SongSource {
 public:
  explicit BreakingSource(std::int64_t good) : good_(good) {}
  int sample_rate() const noexcept override { return kRate; }
  int channels() const noexcept override { return 1; }
  std::int64_t length_hint() const noexcept override { return 10 * kRate; }
  std::int64_t read(float* out, std::int64_t max_frames) override {
    if (position_ >= good_) {
      error_ = "song.flac: decoding failed: lost sync";
      return -1;
    }
    const std::int64_t n = std::min(max_frames, good_ - position_);
    for (std::int64_t i = 0; i < n; ++i) out[i] = 0.5f;
    position_ += n;
    return n;
  }
  bool seek(std::int64_t frame) override {
    position_ = frame;
    return true;
  }
  const std::string& error() const noexcept override { return error_; }

 private:
  std::int64_t good_;
  std::int64_t position_ = 0;
  std::string error_;
};

TEST_F(SongStreamTest, ADecodingErrorPartWayEndsTheSoundThere) {
  SongStream stream(std::make_unique<BreakingSource>(kRate * 3 / 2), true, 0, kPatient);
  EXPECT_EQ(stream.end(), 10 * kRate) << "the header's length, until the decoding knows better";
  Device device(stream);
  const std::vector<SoundFrame> frames = show(stream, device, 0, 60);
  EXPECT_EQ(frames.back().sound[apehost::audio::waveform_start(0)], 64) << "round(0.5 x 127)";
  EXPECT_EQ(stream.end(), kRate * 3 / 2);
  EXPECT_EQ(stream.failure(), "song.flac: decoding failed: lost sync");
  device.play_until(2 * kRate);
  EXPECT_EQ(device.sound_from(0), kRate * 3 / 2);
  // Seeking back does not decode a broken file again: the sound ends where the seek lands.
  stream.seek(kRate / 2, kRate / 2);
  take_up(stream, device, kRate / 2);
  EXPECT_EQ(stream.end(), kRate / 2 - apehost::audio::kFftSize);
}

TEST_F(SongStreamTest, TheLowestSampleRatePlaysThrough) {
  // At 1,000 Hz a second of sound is less than one piece of the decoding: the rings must still
  // take whole pieces.
  auto slow = std::make_shared<AudioBuffer>();
  slow->sample_rate = apehost::audio::kMinSampleRate;
  slow->channels = 1;
  for (int n = 0; n < 8 * slow->sample_rate; ++n)
    slow->samples.push_back(0.5f + 0.25f * static_cast<float>(std::sin(0.3 * n)));
  const std::vector<SoundFrame> whole = apehost::audio::analyse(*slow, kFps);
  SongStream stream(apehost::song_in_memory(slow), true, 0, 2.0);
  Device device(stream);
  for (std::size_t k = 0; k + 1 < whole.size(); ++k) {
    const std::int64_t end =
        frame_start_sample(static_cast<std::int64_t>(k) + 1, slow->sample_rate, kFps);
    ASSERT_EQ(stream.frame_at(end).sound, whole[k].sound) << "frame " << k;
    device.play_until(end);
  }
  device.play_until(9 * slow->sample_rate);
  EXPECT_EQ(device.sound_from(0), 8 * slow->sample_rate);
}

TEST_F(SongStreamTest, WithoutADeviceTheAnalysisAloneDrainsTheDecoding) {
  const auto music = song(9.0, 1);
  const std::vector<SoundFrame> whole = apehost::audio::analyse(*music, kFps);
  SongStream stream(apehost::song_in_memory(music), false, 0, kPatient);
  std::vector<SoundFrame> frames;
  for (std::size_t k = 0; k < whole.size(); ++k)
    frames.push_back(
        stream.frame_at(frame_start_sample(static_cast<std::int64_t>(k) + 1, kRate, kFps)));
  expect_same_frames(frames, whole);
  stream.seek(3 * kRate, 3 * kRate);
  EXPECT_EQ(stream.frame_at(3 * kRate).sound, whole[3 * kFps - 1].sound)
      << "the frame that ends at 3 s, its window whole";
  EXPECT_FALSE(stream.seeking());
}

}  // namespace
