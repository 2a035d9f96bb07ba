#include "media_test_support.hpp"

#include <sndfile.h>

#include <cmath>
#include <sstream>
#include <stdexcept>

#include "host_test_support.hpp"

namespace hosttest {

apehost::audio::AudioBuffer synthetic_song(double seconds) {
  constexpr double kPi = 3.141592653589793;
  apehost::audio::AudioBuffer song;
  song.sample_rate = 44100;
  song.channels = 2;
  const auto frames = static_cast<std::size_t>(seconds * song.sample_rate);
  song.samples.resize(frames * 2);
  for (std::size_t n = 0; n < frames; ++n) {
    const double t = static_cast<double>(n) / song.sample_rate;
    const double since_kick = std::fmod(t, 0.5);
    const double kick =
        0.7 * std::exp(-since_kick * 25.0) * std::sin(2.0 * kPi * 55.0 * since_kick);
    song.samples[2 * n] = static_cast<float>(kick + 0.2 * std::sin(2.0 * kPi * 220.0 * t));
    song.samples[2 * n + 1] = static_cast<float>(kick + 0.2 * std::sin(2.0 * kPi * 660.0 * t));
  }
  return song;
}

void write_song(const std::string& path, double seconds) {
  std::string error;
  if (!apehost::audio::write_wav(path, synthetic_song(seconds), error)) {
    throw std::runtime_error(error);
  }
}

void write_broken_flac(const std::string& path, double seconds) {
  const apehost::audio::AudioBuffer song = synthetic_song(seconds);
  SF_INFO info{};
  info.samplerate = song.sample_rate;
  info.channels = song.channels;
  info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) throw std::runtime_error(path + ": " + sf_strerror(nullptr));
  const auto frames = static_cast<sf_count_t>(song.frame_count());
  const bool written = sf_writef_float(file, song.samples.data(), frames) == frames;
  if (sf_close(file) != 0 || !written) throw std::runtime_error(path + ": cannot write");
  std::vector<std::uint8_t> bytes = read_bytes(path);
  std::uint32_t noise = 12345;
  for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 4000 && i < bytes.size(); ++i) {
    noise = noise * 1664525u + 1013904223u;
    bytes[i] = static_cast<std::uint8_t>(noise >> 24);
  }
  write_bytes(path, bytes);
}

std::vector<std::map<std::string, std::string>> probe_streams(const std::string& path) {
  const RunResult run =
      run_program({"ffprobe", "-v", "error", "-show_entries",
                   "stream=codec_type,codec_name,width,height,pix_fmt,nb_frames,duration", "-of",
                   "compact", path});
  std::vector<std::map<std::string, std::string>> streams;
  if (run.status != 0) return streams;
  std::istringstream lines(run.out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("stream|", 0) != 0) continue;
    std::map<std::string, std::string> fields;
    std::istringstream parts(line.substr(7));
    std::string part;
    while (std::getline(parts, part, '|')) {
      const auto eq = part.find('=');
      if (eq != std::string::npos) fields[part.substr(0, eq)] = part.substr(eq + 1);
    }
    streams.push_back(fields);
  }
  return streams;
}

DecodedPng video_frame(const std::string& video, int index, const std::string& scratch_png) {
  const RunResult run = run_program({"ffmpeg", "-v", "error", "-y", "-i", video, "-vf",
                                     "select=eq(n\\," + std::to_string(index) + ")", "-vsync", "0",
                                     "-frames:v", "1", scratch_png});
  if (run.status != 0) throw std::runtime_error("ffmpeg cannot take a frame: " + run.err);
  return decode_png(scratch_png);
}

}  // namespace hosttest
