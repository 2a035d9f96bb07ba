// A 40-minute song through analyse, render and play, as a user runs them: each decodes and
// analyses the song as it goes, so each peaks (wait4's ru_maxrss) under kMemoryLimitMb, where a
// whole decode of this song would hold 212 MB of samples and 330 MB of frames. The song is mono
// at 22,050 Hz (106 MB as a WAV file) to keep the run short; the frames are as many as for any
// 40-minute song at 60 frames per second.
//
// The sanitizer builds keep shadow memory of their own and run several times slower: there the
// song is 4 minutes long and the memory is not bounded, only the commands' results checked.
//
// The peaks and the times are printed; no time is asserted. The run of play that shows one frame
// and ends is an upper bound on how soon play shows the first frame of a long song.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "apehost_audio/audio_reader.hpp"
#include "host_test_support.hpp"
#include "live_test_support.hpp"
#include "required_tool.hpp"
#include "sanitized_build.hpp"

namespace {

constexpr int kMinutes = testsupport::kSanitizedBuild ? 4 : 40;
constexpr bool kBoundMemory = !testsupport::kSanitizedBuild;
constexpr int kRate = 22050;
constexpr long kMemoryLimitMb = 150;
constexpr long kFrames = kMinutes * 60L * 60;  // at 60 frames per second

// A kick at 120 bpm over a low tone and a little noise, written a piece at a time.
void write_long_song(const std::string& path) {
  std::string error;
  const auto writer = apehost::audio::WavWriter::create(path, kRate, 1, error);
  if (!writer) throw std::runtime_error(error);
  constexpr double kTwoPi = 6.283185307179586;
  const double tone_step = kTwoPi * 110.0 / kRate;
  const double kick_step = kTwoPi * 55.0 / kRate;
  std::vector<float> piece(65536);
  std::uint32_t noise = 1;
  double kick = 0.0;
  std::int64_t n = 0;
  for (std::int64_t left = std::int64_t{kMinutes} * 60 * kRate; left > 0;) {
    const auto count = static_cast<std::size_t>(std::min<std::int64_t>(left, 65536));
    for (std::size_t i = 0; i < count; ++i, ++n) {
      if (n % (kRate / 2) == 0) kick = 0.8;
      kick *= 0.9996;
      noise = noise * 1664525u + 1013904223u;
      const double hiss = static_cast<double>(noise >> 8) / 16777216.0 - 0.5;
      piece[i] =
          static_cast<float>(kick * std::sin(kick_step * static_cast<double>(n % 22050)) +
                             0.2 * std::sin(tone_step * static_cast<double>(n)) + 0.02 * hiss);
    }
    if (!writer->write(piece.data(), static_cast<std::int64_t>(count), error)) {
      throw std::runtime_error(error);
    }
    left -= static_cast<std::int64_t>(count);
  }
  if (!writer->close(error)) throw std::runtime_error(error);
}

class LongSong : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new hosttest::ScratchDir;
    write_long_song(song());
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static std::string song() { return *dir_ / "long.wav"; }

  static void report(const std::string& what, const hosttest::RunResult& run) {
    std::printf("%s: peak resident memory %.1f MB, %.2f s\n", what.c_str(),
                static_cast<double>(run.max_rss_kb) / 1024.0, run.seconds);
    if (kBoundMemory) {
      EXPECT_LT(run.max_rss_kb, kMemoryLimitMb * 1024) << what;
    }
  }

  static hosttest::ScratchDir* dir_;
};

hosttest::ScratchDir* LongSong::dir_ = nullptr;

TEST_F(LongSong, AnalyseWritesEveryFrameInBoundedMemory) {
  const auto run = hosttest::run_apehost({"analyse", song(), "-o", "/dev/null"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("wrote /dev/null: " + std::to_string(kFrames) + " frames"),
            std::string::npos)
      << run.out;
  report("analyse", run);
}

TEST_F(LongSong, RenderDrawsEveryFrameInBoundedMemory) {
  const auto run = hosttest::run_apehost(
      {"render", PROBEFX_MODULE, "--audio", song(), "--raw", "/dev/null", "--size", "16x8"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("rendered " + std::to_string(kFrames) + " frames of 16x8"),
            std::string::npos)
      << run.out;
  report("render --raw", run);
}

TEST_F(LongSong, PlayShowsItInBoundedMemory) {
  REQUIRE_TOOL("Xvfb");
  const hosttest::XServer x = hosttest::XServer::virtual_screen("800x600");
  for (const char* frames : {"1", "120"}) {
    const auto run = hosttest::run_apehost(
        {"play", PROBEFX_MODULE, "--audio", song(), "--frames", frames, "--size", "160x120"},
        x.setup());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("played " + std::string(frames) + " frame"), std::string::npos)
        << run.out;
    report("play, " + std::string(frames) + " frame(s) and out", run);
  }
}

}  // namespace
