// libFuzzer target: any bytes as a sound file, through decoding and analysis as apehost runs them.
//
// Byte 0 picks the file's name ending (libsndfile goes by the contents, but a few formats it only
// recognises by name); the rest is the file. It is opened with AudioReader, as render, analyse and
// play open a song. A refusal must be one line starting with the file's name. A file that opens
// must have a rate and channel count in range, and its samples (the first few seconds' worth) go
// through the analysis of a song as it is decoded (SongAnalyser), which must give exactly the
// frames that cover them, and through the live analysis (SoundAnalyser) a frame at a time.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "apehost_audio/audio_reader.hpp"
#include "apehost_audio/song_analyser.hpp"
#include "apehost_audio/sound_analysis.hpp"

namespace {

namespace fs = std::filesystem;
using namespace apehost::audio;

constexpr const char* kEndings[] = {".wav", ".flac", ".ogg", ".opus", ".mp3", ".aiff",
                                    ".au",  ".caf",  ".w64", ".raw",  ""};
constexpr int kFps = 60;
// Each run stays small: at most this many seconds, and this many samples of all channels.
constexpr double kMaxSeconds = 3.0;
constexpr std::int64_t kMaxSamples = 1 << 21;
constexpr std::int64_t kChunkFrames = 4096;

std::string g_scratch;

[[noreturn]] void fail(const std::string& why) {
  std::fprintf(stderr, "audio case failed: %s\n", why.c_str());
  std::abort();
}

}  // namespace

// libsndfile's Ogg Vorbis reader leaks the Vorbis stream's setup (about 6 KB, from
// vorbis_info_init) when it refuses a malformed stream: a plain sf_open and nothing else shows it.
// It is the library's to mend (apehost opens one file per run); the leak checker is told of it so
// that it finds everything else.
extern "C" const char* __lsan_default_suppressions() { return "leak:vorbis_info_init\n"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const fs::path dir =
      fs::temp_directory_path() / ("apehost_audio_fuzz_" + std::to_string(getpid()));
  fs::create_directories(dir);
  g_scratch = dir.string();
  std::atexit([] { fs::remove_all(g_scratch); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string path =
      g_scratch + "/input" + kEndings[data[0] % (sizeof kEndings / sizeof kEndings[0])];
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    if (!out) fail("cannot write " + path);
  }

  std::string error;
  const std::unique_ptr<AudioReader> reader = AudioReader::open(path, error);
  if (!reader) {
    if (error.rfind(path + ": ", 0) != 0 || error.size() <= path.size() + 2 ||
        error.find('\n') != std::string::npos) {
      fail("refusal not one line naming the file: '" + error + "'");
    }
    fs::remove(path);
    return 0;
  }
  const int rate = reader->sample_rate();
  const int channels = reader->channels();
  if (!usable_sound_format(rate, channels)) {
    fail("opened with " + std::to_string(rate) + " Hz, " + std::to_string(channels) + " channels");
  }

  SongAnalyser song(rate, channels, kFps);
  SoundAnalyser live(rate, channels, 1.0);
  const std::int64_t limit =
      std::min<std::int64_t>(static_cast<std::int64_t>(kMaxSeconds * rate), kMaxSamples / channels);
  std::vector<float> chunk(static_cast<std::size_t>(kChunkFrames * channels));
  std::int64_t fed = 0;
  std::int64_t taken = 0;
  SoundFrame frame;
  while (fed < limit) {
    const std::int64_t got = reader->read(chunk.data(), std::min(kChunkFrames, limit - fed));
    if (got < 0) {
      if (reader->error().rfind(path + ": decoding failed: ", 0) != 0)
        fail("decoding error not naming the file: '" + reader->error() + "'");
      break;
    }
    if (got == 0) break;
    song.feed(chunk.data(), static_cast<std::size_t>(got));
    live.feed(chunk.data(), static_cast<std::size_t>(got));
    fed += got;
    while (song.next_frame(frame)) ++taken;
    // The live picture's frame of the sound just fed.
    (void)live.frame_at(fed);
  }
  if (reader->frames_read() != fed) fail("the reader counted other frames than it gave");
  song.finish();
  live.finish();
  while (song.next_frame(frame)) ++taken;
  (void)live.frame_at(fed);
  if (taken != frames_covering(fed, rate, kFps)) {
    fail(std::to_string(taken) + " frames for " + std::to_string(fed) + " sample frames");
  }
  fs::remove(path);
  return 0;
}
