#pragma once
// host/live: uses plugin, audio and base, and SDL (inside its sources only); used by cli.
//
// Where a playing song's samples come from: a sound file decoded as it plays, or sound already in
// memory (the demo track, synthesised). Read by the decoding thread of a SongStream only.

#include <cstdint>
#include <memory>
#include <string>

#include "apehost_audio/audio_buffer.hpp"

namespace apehost {

class SongSource {
 public:
  virtual ~SongSource() = default;

  virtual int sample_rate() const noexcept = 0;
  virtual int channels() const noexcept = 0;
  // The length in sample frames as far as it is known before the end is reached: exact for sound
  // in memory, WAV, FLAC and AIFF, an estimate for some MP3 and Ogg streams; -1 when unknown.
  virtual std::int64_t length_hint() const noexcept = 0;

  // Up to max_frames interleaved sample frames (max_frames x channels() values) into out: the
  // number read, 0 at the end, -1 on a decoding error (error() then says "<path>: <reason>").
  virtual std::int64_t read(float* out, std::int64_t max_frames) = 0;
  // Moves to sample frame `frame`; false when it cannot be moved there (error() says why), and
  // reading goes on from where it was.
  virtual bool seek(std::int64_t frame) = 0;
  virtual const std::string& error() const noexcept = 0;
};

// A sound file, decoded a piece at a time. Opening decodes its first piece, so a file that cannot
// be read, holds no samples or fails at once is refused here: a bad-input error, "<path>:
// <reason>".
std::unique_ptr<SongSource> open_song_file(const std::string& path);

// Sound in memory, shared with the caller.
std::unique_ptr<SongSource> song_in_memory(std::shared_ptr<const audio::AudioBuffer> song);

}  // namespace apehost
