#include "live/song_source.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "apehost_audio/audio_reader.hpp"
#include "base/host_error.hpp"

namespace apehost {
namespace {

// The first piece decoded when a file is opened: enough to tell a song from a file of nothing.
constexpr std::int64_t kFirstPieceFrames = 4096;

class FileSource final : public SongSource {
 public:
  explicit FileSource(std::unique_ptr<audio::AudioReader> reader) : reader_(std::move(reader)) {
    first_.resize(static_cast<std::size_t>(kFirstPieceFrames * reader_->channels()));
    const std::int64_t got = reader_->read(first_.data(), kFirstPieceFrames);
    if (got < 0) throw HostError(reader_->error(), kExitBadInput);
    if (got == 0) throw bad_input(reader_->path(), "contains no sound samples");
    first_.resize(static_cast<std::size_t>(got * reader_->channels()));
  }

  int sample_rate() const noexcept override { return reader_->sample_rate(); }
  int channels() const noexcept override { return reader_->channels(); }
  std::int64_t length_hint() const noexcept override { return reader_->length_hint(); }

  std::int64_t read(float* out, std::int64_t max_frames) override {
    if (first_taken_ < first_.size()) {
      // What opening decoded comes first.
      const auto channels = static_cast<std::size_t>(reader_->channels());
      const std::size_t values =
          std::min(first_.size() - first_taken_, static_cast<std::size_t>(max_frames) * channels);
      std::memcpy(out, first_.data() + first_taken_, values * sizeof(float));
      first_taken_ += values;
      return static_cast<std::int64_t>(values / channels);
    }
    const std::int64_t got = reader_->read(out, max_frames);
    if (got < 0) error_ = reader_->error();
    return got;
  }

  bool seek(std::int64_t frame) override {
    if (!reader_->seek(frame, error_)) return false;
    first_taken_ = first_.size();
    return true;
  }

  const std::string& error() const noexcept override { return error_; }

 private:
  std::unique_ptr<audio::AudioReader> reader_;
  std::vector<float> first_;
  std::size_t first_taken_ = 0;
  std::string error_;
};

class MemorySource final : public SongSource {
 public:
  explicit MemorySource(std::shared_ptr<const audio::AudioBuffer> song)
      : song_(std::move(song)), total_(static_cast<std::int64_t>(song_->frame_count())) {}

  int sample_rate() const noexcept override { return song_->sample_rate; }
  int channels() const noexcept override { return song_->channels; }
  std::int64_t length_hint() const noexcept override { return total_; }

  std::int64_t read(float* out, std::int64_t max_frames) override {
    const std::int64_t count = std::clamp<std::int64_t>(total_ - position_, 0, max_frames);
    const auto channels = static_cast<std::size_t>(song_->channels);
    std::memcpy(out, song_->samples.data() + static_cast<std::size_t>(position_) * channels,
                static_cast<std::size_t>(count) * channels * sizeof(float));
    position_ += count;
    return count;
  }

  bool seek(std::int64_t frame) override {
    if (frame < 0 || frame > total_) {
      error_ =
          "cannot seek to sample frame " + std::to_string(frame) + " of " + std::to_string(total_);
      return false;
    }
    position_ = frame;
    return true;
  }

  const std::string& error() const noexcept override { return error_; }

 private:
  std::shared_ptr<const audio::AudioBuffer> song_;
  std::int64_t total_;
  std::int64_t position_ = 0;
  std::string error_;
};

}  // namespace

std::unique_ptr<SongSource> open_song_file(const std::string& path) {
  std::string error;
  std::unique_ptr<audio::AudioReader> reader = audio::AudioReader::open(path, error);
  if (!reader) throw HostError(error.empty() ? path + ": cannot decode" : error, kExitBadInput);
  return std::make_unique<FileSource>(std::move(reader));
}

std::unique_ptr<SongSource> song_in_memory(std::shared_ptr<const audio::AudioBuffer> song) {
  return std::make_unique<MemorySource>(std::move(song));
}

}  // namespace apehost
