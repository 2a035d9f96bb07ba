#pragma once
// host/media: uses plugin, base and audio; used by cli.
//
// A song file's frames for a render or an analysis, decoded and analysed as they are taken
// (audio::SongFrameReader): the memory stays that of a few seconds of sound and frames, whatever
// the song's length.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "apehost_audio/song_analyser.hpp"
#include "apehost_audio/sound_analysis.hpp"

namespace apehost {

class SongFrames {
 public:
  // Opens path and decodes up to its first frame, so a file that cannot be read, holds no sound or
  // fails to decode at once is refused here (bad input, naming the file), before a command makes
  // any output.
  SongFrames(const std::string& path, int frames_per_second);

  // The next frame: true and the frame; false after the last. A decoding error part way is a
  // bad-input error naming the file ("<path>: decoding failed: <reason>").
  bool next(audio::SoundFrame& frame);

  // The frame count the file's header promises (for a progress bar); -1 when it does not say.
  std::int64_t frame_count_hint() const noexcept { return reader_->frame_count_hint(); }
  int sample_rate() const noexcept { return reader_->reader().sample_rate(); }
  int channels() const noexcept { return reader_->reader().channels(); }
  // Seconds of sound decoded so far: the song's length once every frame has been taken.
  double seconds_decoded() const noexcept;

 private:
  std::unique_ptr<audio::SongFrameReader> reader_;
  std::optional<audio::SoundFrame> first_;  // decoded by the constructor, not yet taken
};

}  // namespace apehost
