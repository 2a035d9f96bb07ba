#include "media/song_file.hpp"

#include "base/host_error.hpp"

namespace apehost {

namespace {

// Every failure of a song file is the file's: bad input.
[[noreturn]] void refuse(const std::string& error, const std::string& path) {
  throw HostError(error.empty() ? path + ": cannot decode" : error, kExitBadInput);
}

}  // namespace

SongFrames::SongFrames(const std::string& path, int frames_per_second) {
  std::string error;
  reader_ = audio::SongFrameReader::open(path, frames_per_second, error);
  if (!reader_) refuse(error, path);
  audio::SoundFrame frame;
  if (!reader_->next(frame)) refuse(reader_->error(), path);
  first_ = frame;
}

bool SongFrames::next(audio::SoundFrame& frame) {
  if (first_) {
    frame = *first_;
    first_.reset();
    return true;
  }
  if (reader_->next(frame)) return true;
  if (!reader_->error().empty()) refuse(reader_->error(), reader_->reader().path());
  return false;
}

double SongFrames::seconds_decoded() const noexcept {
  const audio::AudioReader& reader = reader_->reader();
  return static_cast<double>(reader.frames_read()) / reader.sample_rate();
}

}  // namespace apehost
