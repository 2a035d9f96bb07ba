#include "apehost_audio/audio_reader.hpp"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace apehost::audio {

namespace {

// Samples per read or write call of copy_to_wav: a staging buffer of one megabyte whatever the
// channel count.
constexpr std::int64_t kChunkSamples = 262144;

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

bool sane_rate(long long rate) { return usable_sound_format(rate, 1); }
bool sane_channels(long long channels) { return usable_sound_format(kMinSampleRate, channels); }

std::string rate_problem(const std::string& path, long long rate) {
  return path + ": unusable sample rate of " + std::to_string(rate) + " Hz (a sound file's is " +
         std::to_string(kMinSampleRate) + " to " + std::to_string(kMaxSampleRate) + " Hz)";
}
std::string channels_problem(const std::string& path, long long channels) {
  return path + ": unusable channel count of " + std::to_string(channels) +
         " (a sound file has 1 to " + std::to_string(kMaxChannels) + ")";
}

// The number after the last "<label> :" in libsndfile's log of the last open, matched without
// regard to case; false when the log has none.
bool logged_number(const std::string& log, const std::string& label, long long& value) {
  std::string lower = log;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  bool found = false;
  for (std::size_t at = lower.find(label); at != std::string::npos;
       at = lower.find(label, at + 1)) {
    std::size_t p = at + label.size();
    while (p < lower.size() && lower[p] == ' ') ++p;
    if (p >= lower.size() || lower[p] != ':') continue;
    ++p;
    char* end = nullptr;
    const long long number = std::strtoll(lower.c_str() + p, &end, 10);
    if (end != lower.c_str() + p) {
      value = number;
      found = true;
    }
  }
  return found;
}

// Why libsndfile would not open path. When it refused a header's channel count or sample rate,
// its own words are terse ("Internal error : SF_INFO struct incomplete"), but its log of the open
// says what the header gave: that is the line.
std::string open_failure(const std::string& path) {
  const std::string reason = tidy_reason(sf_strerror(nullptr));
  std::vector<char> log(16384, '\0');
  sf_command(nullptr, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size() - 1));
  const std::string text(log.data());
  long long channels = 0;
  if (logged_number(text, "channels", channels) && !sane_channels(channels))
    return channels_problem(path, channels);
  long long rate = 0;
  if (logged_number(text, "sample rate", rate) && !sane_rate(rate)) return rate_problem(path, rate);
  return path + ": cannot read as sound: " + reason;
}

}  // namespace

struct AudioReader::File {
  SNDFILE* handle = nullptr;
  ~File() {
    if (handle != nullptr) sf_close(handle);
  }
};

std::unique_ptr<AudioReader> AudioReader::open(const std::string& path, std::string& error) {
  if (!check_readable_file(path, error)) return nullptr;
  SF_INFO info{};
  auto file = std::make_unique<File>();
  file->handle = sf_open(path.c_str(), SFM_READ, &info);
  if (file->handle == nullptr) {
    error = open_failure(path);
    return nullptr;
  }
  if (!sane_channels(info.channels)) {
    error = channels_problem(path, info.channels);
    return nullptr;
  }
  if (!sane_rate(info.samplerate)) {
    error = rate_problem(path, info.samplerate);
    return nullptr;
  }
  const std::int64_t hint = info.frames > 0 && info.frames < SF_COUNT_MAX ? info.frames : -1;
  return std::unique_ptr<AudioReader>(
      new AudioReader(path, std::move(file), info.samplerate, info.channels, hint));
}

AudioReader::AudioReader(std::string path, std::unique_ptr<File> file, int sample_rate,
                         int channels, std::int64_t length_hint)
    : path_(std::move(path)),
      file_(std::move(file)),
      sample_rate_(sample_rate),
      channels_(channels),
      length_hint_(length_hint) {}

AudioReader::~AudioReader() = default;

std::int64_t AudioReader::read(float* out, std::int64_t max_frames) {
  if (failed_) return -1;
  if (max_frames <= 0) return 0;
  const sf_count_t got = sf_readf_float(file_->handle, out, max_frames);
  if (got > 0) {
    frames_read_ += got;
    return got;
  }
  // Out of samples: the end of the sound, or a decoder that gave up.
  if (sf_error(file_->handle) != SF_ERR_NO_ERROR) {
    failed_ = true;
    error_ = path_ + ": decoding failed: " + tidy_reason(sf_strerror(file_->handle));
    return -1;
  }
  return 0;
}

bool AudioReader::seek(std::int64_t frame, std::string& error) {
  const std::string where = path_ + ": cannot seek to sample frame " + std::to_string(frame) + ": ";
  if (failed_) {
    error = where + "decoding failed before";
    return false;
  }
  if (frame < 0) {
    error = where + "before the start";
    return false;
  }
  if (sf_seek(file_->handle, frame, SEEK_SET) < 0) {
    // libsndfile stays where it was, and its next read starts without the error.
    error = where + tidy_reason(sf_strerror(file_->handle));
    return false;
  }
  return true;
}

struct WavWriter::File {
  SNDFILE* handle = nullptr;
  ~File() {
    if (handle != nullptr) sf_close(handle);
  }
};

std::unique_ptr<WavWriter> WavWriter::create(const std::string& path, int sample_rate, int channels,
                                             std::string& error) {
  if (!usable_sound_format(sample_rate, channels)) {
    error = path + ": cannot write a sound of " + std::to_string(channels) + " channels at " +
            std::to_string(sample_rate) + " Hz";
    return nullptr;
  }
  SF_INFO info{};
  info.samplerate = sample_rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  auto file = std::make_unique<File>();
  file->handle = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file->handle == nullptr) {
    error = path + ": cannot create: " + tidy_reason(sf_strerror(nullptr));
    return nullptr;
  }
  // Without this, libsndfile lets a sample beyond full scale wrap to the opposite sign.
  sf_command(file->handle, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  return std::unique_ptr<WavWriter>(new WavWriter(path, std::move(file), channels));
}

WavWriter::WavWriter(std::string path, std::unique_ptr<File> file, int channels)
    : path_(std::move(path)), file_(std::move(file)), channels_(channels) {}

WavWriter::~WavWriter() = default;

bool WavWriter::write(const float* interleaved, std::int64_t frame_count, std::string& error) {
  if (file_->handle == nullptr) {
    error = path_ + ": write after close";
    return false;
  }
  const std::int64_t chunk = std::max<std::int64_t>(1, kChunkSamples / channels_);
  for (std::int64_t done = 0; done < frame_count;) {
    const std::int64_t count = std::min(chunk, frame_count - done);
    if (sf_writef_float(file_->handle, interleaved + done * channels_, count) != count) {
      error = path_ + ": write failed: " + tidy_reason(sf_strerror(file_->handle));
      return false;
    }
    done += count;
  }
  return true;
}

bool WavWriter::close(std::string& error) {
  SNDFILE* handle = file_->handle;
  file_->handle = nullptr;
  // sf_close finishes the header; a failure there (a full disk) is a failed write too.
  if (handle == nullptr || sf_close(handle) != 0) {
    error = path_ + ": write failed while finishing the file";
    return false;
  }
  return true;
}

bool copy_to_wav(const std::string& source, const std::string& wav, std::string& error) {
  const std::unique_ptr<AudioReader> reader = AudioReader::open(source, error);
  if (!reader) return false;
  const std::unique_ptr<WavWriter> writer =
      WavWriter::create(wav, reader->sample_rate(), reader->channels(), error);
  if (!writer) return false;
  const std::int64_t chunk = std::max<std::int64_t>(1, kChunkSamples / reader->channels());
  std::vector<float> samples(static_cast<std::size_t>(chunk * reader->channels()));
  for (;;) {
    const std::int64_t got = reader->read(samples.data(), chunk);
    if (got < 0) {
      error = reader->error();
      return false;
    }
    if (got == 0) break;
    if (!writer->write(samples.data(), got, error)) return false;
  }
  return writer->close(error);
}

}  // namespace apehost::audio
