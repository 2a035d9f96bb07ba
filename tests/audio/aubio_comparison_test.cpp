// apehost's beats against aubio's own command-line tracker (aubiotrack, from aubio-tools) on the
// drum songs written as WAV files: both read the same file, both are scored with the F-measure
// (70 ms window), and the table of both goes to standard output. apehost must reach 0.95 on every
// song, and at least aubiotrack's score on each.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "apehost_audio/audio_buffer.hpp"
#include "apehost_audio/sound_analysis.hpp"
#include "drum_songs.hpp"

namespace {

using namespace audiotest;
namespace fs = std::filesystem;

constexpr int kFps = 60;

struct PipeCloser {
  void operator()(FILE* pipe) const noexcept { pclose(pipe); }
};

// The beat times aubiotrack prints for a file, one a line, in seconds; false when it cannot run.
bool aubio_beats(const std::string& wav, std::vector<double>& beats) {
  const std::string command = "aubiotrack -i '" + wav + "' 2>/dev/null";
  std::unique_ptr<FILE, PipeCloser> pipe(popen(command.c_str(), "r"));
  if (!pipe) return false;
  double t = 0.0;
  while (std::fscanf(pipe.get(), "%lf", &t) == 1) beats.push_back(t);
  return pclose(pipe.release()) == 0;
}

bool aubiotrack_installed() { return std::system("command -v aubiotrack > /dev/null 2>&1") == 0; }

TEST(BeatsAgainstAubio, EveryDrumSong) {
  ASSERT_TRUE(aubiotrack_installed())
      << "aubiotrack is missing: scripts/setup installs it (aubio-tools)";
  const fs::path dir = fs::temp_directory_path() / "apehost_aubio_comparison";
  fs::remove_all(dir);
  fs::create_directories(dir);

  std::printf("\n| song | bpm | apehost F | aubiotrack F |\n|---|---|---|---|\n");
  for (const std::string& name : drum_song_names()) {
    const DrumSong song = drum_song(name);
    const std::string wav = (dir / (name + ".wav")).string();
    std::string error;
    ASSERT_TRUE(apehost::audio::write_wav(wav, song.audio, error)) << error;

    // apehost, from the same file: decoded, analysed, the beat frames' start times.
    const auto decoded = apehost::audio::decode_audio_file(wav, error);
    ASSERT_TRUE(decoded) << error;
    std::vector<double> ours;
    const auto frames = apehost::audio::analyse(*decoded, kFps);
    for (std::size_t k = 0; k < frames.size(); ++k) {
      if (frames[k].beat) ours.push_back(static_cast<double>(k) / kFps);
    }
    std::vector<double> theirs;
    ASSERT_TRUE(aubio_beats(wav, theirs)) << "aubiotrack failed on " << wav;

    const double ours_f = score_beats(ours, song.beats).f_measure();
    const double theirs_f = score_beats(theirs, song.beats).f_measure();
    std::printf("| %s | %.0f | %.3f | %.3f |\n", name.c_str(), song.bpm, ours_f, theirs_f);
    EXPECT_GE(ours_f, 0.95) << name;
    EXPECT_GE(ours_f, theirs_f) << name;
  }
  std::fflush(stdout);
  fs::remove_all(dir);
}

}  // namespace
