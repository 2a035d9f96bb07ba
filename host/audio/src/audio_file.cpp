#include <sndfile.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "apehost_audio/audio_buffer.hpp"

namespace apehost::audio {

namespace {

// Samples per read or write call: enough to keep the calls few, and a staging buffer of one
// megabyte whatever the channel count.
constexpr sf_count_t kChunkSamples = 262144;

sf_count_t chunk_frames(int channels) { return std::max<sf_count_t>(1, kChunkSamples / channels); }

// libsndfile's messages end in a full stop and some carry a "System error : " prefix; the line we
// print reads better without either.
std::string tidy_reason(const char* message) {
  std::string reason = message != nullptr ? message : "unknown error";
  constexpr const char kSystemPrefix[] = "System error : ";
  if (reason.rfind(kSystemPrefix, 0) == 0) reason.erase(0, sizeof kSystemPrefix - 1);
  while (!reason.empty() &&
         (reason.back() == '.' || reason.back() == '\n' || reason.back() == ' ')) {
    reason.pop_back();
  }
  if (reason.empty()) reason = "unknown error";
  return reason;
}

// A file that is not there or not a file says so plainly, before libsndfile gets to word it.
bool check_readable_file(const std::string& path, std::string& error) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) {
    const std::string reason =
        (!ec || ec == std::errc::no_such_file_or_directory) ? "no such file" : ec.message();
    error = path + ": " + reason;
    return false;
  }
  if (std::filesystem::is_directory(status)) {
    error = path + ": is a directory, not a sound file";
    return false;
  }
  return true;
}

struct SndfileCloser {
  void operator()(SNDFILE* file) const noexcept { sf_close(file); }
};
using UniqueSndfile = std::unique_ptr<SNDFILE, SndfileCloser>;

}  // namespace

std::optional<AudioBuffer> decode_audio_file(const std::string& path, std::string& error) {
  if (!check_readable_file(path, error)) return std::nullopt;

  SF_INFO info{};
  UniqueSndfile file(sf_open(path.c_str(), SFM_READ, &info));
  if (!file) {
    error = path + ": cannot read as sound: " + tidy_reason(sf_strerror(nullptr));
    return std::nullopt;
  }
  if (info.samplerate <= 0 || info.channels <= 0) {
    error = path + ": cannot read as sound: no sample rate or no channels";
    return std::nullopt;
  }

  AudioBuffer buffer;
  buffer.sample_rate = info.samplerate;
  buffer.channels = info.channels;
  // The header's frame count is a hint only (some MP3 and Ogg streams do not know it exactly): read
  // until the decoder runs dry.
  if (info.frames > 0 && info.frames < std::numeric_limits<sf_count_t>::max() / info.channels) {
    buffer.samples.reserve(static_cast<std::size_t>(info.frames * info.channels));
  }
  const sf_count_t chunk_length = chunk_frames(info.channels);
  std::vector<float> chunk(static_cast<std::size_t>(chunk_length * info.channels));
  for (;;) {
    const sf_count_t got = sf_readf_float(file.get(), chunk.data(), chunk_length);
    if (got <= 0) break;
    buffer.samples.insert(buffer.samples.end(), chunk.begin(), chunk.begin() + got * info.channels);
  }
  if (sf_error(file.get()) != SF_ERR_NO_ERROR) {
    error = path + ": decoding failed: " + tidy_reason(sf_strerror(file.get()));
    return std::nullopt;
  }
  if (buffer.samples.empty()) {
    error = path + ": contains no sound samples";
    return std::nullopt;
  }
  return buffer;
}

bool write_wav(const std::string& path, const AudioBuffer& buffer, std::string& error) {
  if (buffer.sample_rate <= 0 || buffer.channels <= 0) {
    error = path + ": cannot write a sound without a sample rate or channels";
    return false;
  }
  SF_INFO info{};
  info.samplerate = buffer.sample_rate;
  info.channels = buffer.channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  UniqueSndfile file(sf_open(path.c_str(), SFM_WRITE, &info));
  if (!file) {
    error = path + ": cannot create: " + tidy_reason(sf_strerror(nullptr));
    return false;
  }
  // Without this, libsndfile lets a sample beyond full scale wrap to the opposite sign.
  sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);

  const auto frames = static_cast<sf_count_t>(buffer.frame_count());
  for (sf_count_t done = 0; done < frames;) {
    const sf_count_t count = std::min(chunk_frames(buffer.channels), frames - done);
    const float* data = buffer.samples.data() + done * buffer.channels;
    if (sf_writef_float(file.get(), data, count) != count) {
      error = path + ": write failed: " + tidy_reason(sf_strerror(file.get()));
      return false;
    }
    done += count;
  }
  // sf_close finishes the header; a failure there (a full disk) is a failed write too.
  if (sf_close(file.release()) != 0) {
    error = path + ": write failed while finishing the file";
    return false;
  }
  return true;
}

}  // namespace apehost::audio
