// A 40-minute song (4 minutes under the sanitizers, which are slower and whose allocator keeps
// freed memory back), written as a WAV file a piece at a time, analysed twice: as it is decoded
// (SongFrameReader) and whole (decode_audio_file and analyse). Every frame must be the same, byte
// for byte, beat flags included: the beat tracker decides each beat within a bounded look-ahead,
// so a bounded window of sound gives the beats the whole song gives. And the decoding analysis
// must need a small, fixed amount of memory where the whole-song one grows with the song.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "apehost_audio/audio_buffer.hpp"
#include "apehost_audio/audio_reader.hpp"
#include "apehost_audio/song_analyser.hpp"
#include "apehost_audio/sound_analysis.hpp"
#include "sanitized_build.hpp"

namespace {

namespace fs = std::filesystem;

constexpr int kMinutes = testsupport::kSanitizedBuild ? 4 : 40;
constexpr bool kMeasureMemory = !testsupport::kSanitizedBuild;
constexpr int kRate = 22050;
constexpr int kFps = 60;
constexpr double kTwoPi = 6.283185307179586;

// A DJ mix made up as it goes: a new tempo every 150 s (85 to 176 bpm), a kick on every beat, a
// snare on two and four, hats on the eighths, a bass note per beat, and a noise floor. Cheap per
// sample: oscillators by rotation, noise from a fixed-seed generator.
class LongMix {
 public:
  void render(float* out, std::int64_t count) {
    for (std::int64_t i = 0; i < count; ++i) out[i] = static_cast<float>(next());
  }

 private:
  static constexpr double kTempi[] = {128, 174, 90,  140, 160, 100, 176, 85, 120,
                                      170, 95,  150, 132, 180, 110, 165, 124};
  static constexpr double kSegmentSeconds = 150.0;

  double noise() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(state_ >> 11) / 4503599627370496.0 - 1.0;
  }

  // A sine oscillator advanced by rotation; started at phase 0 with a new frequency.
  struct Oscillator {
    double c = 1.0, s = 0.0, x = 0.0, y = 0.0;
    void start(double hz) {
      c = std::cos(kTwoPi * hz / kRate);
      s = std::sin(kTwoPi * hz / kRate);
      x = 1.0;
      y = 0.0;
    }
    double next() {
      const double nx = x * c - y * s;
      y = x * s + y * c;
      x = nx;
      return y;
    }
  };

  double next() {
    const double t = static_cast<double>(n_++) / kRate;
    const auto segment = static_cast<std::size_t>(t / kSegmentSeconds);
    const double bpm = kTempi[segment % std::size(kTempi)];
    const double eighth = 30.0 / bpm;
    if (since_eighth_ >= eighth) {
      since_eighth_ -= eighth;
      const int step = eighths_++ % 8;
      hat_ = 0.12 + 0.05 * noise();
      if (step % 2 == 0) {  // a beat
        kick_ = 0.9;
        kick_osc_.start(55.0);
        bass_ = 0.25;
        bass_osc_.start(kBass[(eighths_ / 8) % 4]);
      }
      if (step == 2 || step == 6) snare_ = 0.5;
    }
    since_eighth_ += 1.0 / kRate;
    const double x = kick_ * kick_osc_.next() + snare_ * noise() + hat_ * (noise() - last_noise_) +
                     bass_ * bass_osc_.next() + 0.01 * noise();
    last_noise_ = noise();
    kick_ *= 0.9997;
    snare_ *= 0.9992;
    hat_ *= 0.995;
    bass_ *= 0.99995;
    return 0.8 * x;
  }

  static constexpr double kBass[] = {55.0, 43.65, 65.41, 49.0};
  std::uint64_t state_ = 2024;
  std::int64_t n_ = 0;
  int eighths_ = 0;
  double since_eighth_ = 1.0;  // a beat at once
  double kick_ = 0.0, snare_ = 0.0, hat_ = 0.0, bass_ = 0.0, last_noise_ = 0.0;
  Oscillator kick_osc_, bass_osc_;
};

std::int64_t resident_bytes() {
  std::ifstream statm("/proc/self/statm");
  std::int64_t size = 0;
  std::int64_t resident = 0;
  statm >> size >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

std::uint64_t frame_hash(const apehost::audio::SoundFrame& frame) {
  std::uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (std::uint8_t byte : frame.sound) h = (h ^ byte) * 1099511628211ull;
  return (h ^ (frame.beat ? 1u : 0u)) * 1099511628211ull;
}

TEST(LongSong, AnalysedAsItIsDecodedEqualsTheWholeSongInLittleMemory) {
  const fs::path dir = fs::temp_directory_path() / "apehost_long_song";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string wav = (dir / "mix.wav").string();
  const std::int64_t total = std::int64_t{kMinutes} * 60 * kRate;
  std::string error;
  {
    const auto writer = apehost::audio::WavWriter::create(wav, kRate, 1, error);
    ASSERT_TRUE(writer) << error;
    LongMix mix;
    std::vector<float> chunk(65536);
    for (std::int64_t done = 0; done < total;) {
      const std::int64_t n = std::min<std::int64_t>(65536, total - done);
      mix.render(chunk.data(), n);
      ASSERT_TRUE(writer->write(chunk.data(), n, error)) << error;
      done += n;
    }
    ASSERT_TRUE(writer->close(error)) << error;
  }

  // As it is decoded, keeping a hash of each frame.
  const std::int64_t before_streaming = resident_bytes();
  std::int64_t streaming_peak = before_streaming;
  std::vector<std::uint64_t> streamed;
  streamed.reserve(static_cast<std::size_t>(total * kFps / kRate + 1));
  std::int64_t streamed_beats = 0;
  {
    const auto reader = apehost::audio::SongFrameReader::open(wav, kFps, error);
    ASSERT_TRUE(reader) << error;
    apehost::audio::SoundFrame frame;
    while (reader->next(frame)) {
      streamed.push_back(frame_hash(frame));
      streamed_beats += frame.beat ? 1 : 0;
      if (streamed.size() % 2048 == 0) streaming_peak = std::max(streaming_peak, resident_bytes());
    }
    ASSERT_EQ(reader->error(), "");
  }
  streaming_peak = std::max(streaming_peak, resident_bytes());

  // Whole.
  const std::int64_t before_whole = resident_bytes();
  std::int64_t whole_peak = 0;
  std::vector<std::uint64_t> whole;
  std::int64_t whole_beats = 0;
  {
    const auto song = apehost::audio::decode_audio_file(wav, error);
    ASSERT_TRUE(song) << error;
    ASSERT_EQ(static_cast<std::int64_t>(song->frame_count()), total);
    const auto frames = apehost::audio::analyse(*song, kFps);
    whole_peak = resident_bytes();
    for (const auto& frame : frames) {
      whole.push_back(frame_hash(frame));
      whole_beats += frame.beat ? 1 : 0;
    }
  }
  fs::remove_all(dir);

  ASSERT_EQ(streamed.size(), whole.size());
  ASSERT_EQ(static_cast<std::int64_t>(whole.size()),
            apehost::audio::frames_covering(total, kRate, kFps));
  std::size_t differing = 0;
  std::size_t first_difference = whole.size();
  for (std::size_t k = 0; k < whole.size(); ++k) {
    if (streamed[k] != whole[k]) {
      ++differing;
      first_difference = std::min(first_difference, k);
    }
  }
  EXPECT_EQ(differing, 0u) << "first at frame " << first_difference;
  EXPECT_EQ(streamed_beats, whole_beats);
  // A beat every beat of 85 to 180 bpm, give or take the tempo changes.
  EXPECT_GT(whole_beats, kMinutes * 85 * 9 / 10);
  EXPECT_LT(whole_beats, kMinutes * 180);

  const double mb = 1024.0 * 1024.0;
  const double streaming_growth = static_cast<double>(streaming_peak - before_streaming) / mb;
  const double whole_growth = static_cast<double>(whole_peak - before_whole) / mb;
  std::printf(
      "%d minutes, %zu frames, %lld beats: resident memory grew by %.1f MB analysed as it "
      "was decoded, by %.1f MB analysed whole\n",
      kMinutes, whole.size(), static_cast<long long>(whole_beats), streaming_growth, whole_growth);
  if (kMeasureMemory) {
    // The frame hashes alone take 1.1 MB; the analysis keeps a few seconds of frames and sound.
    EXPECT_LT(streaming_growth, 24.0);
    // The song as floats (212 MB) and its frames (330 MB).
    EXPECT_GT(whole_growth, 400.0);
  }
}

}  // namespace
