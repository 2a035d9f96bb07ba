#pragma once
// A song's frames as it is decoded: the frames analyse() gives for the whole buffer, byte for byte,
// without holding the song. Feed the samples in pieces of any size, take the frames that are ready
// after each piece, and call finish() when the sound ends for the rest. It keeps about six
// seconds of frames (the beat tracker decides a beat beat_lookahead() after it) and one FFT window
// of sound, whatever the song's length: a piece of a few thousand sample frames at a time keeps
// the memory in the megabytes.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "apehost_audio/audio_reader.hpp"
#include "apehost_audio/sound_analysis.hpp"

namespace apehost::audio {

class SongAnalyser {
 public:
  // sample_rate and channels must be in range (usable_sound_format) and frames_per_second positive
  // (std::invalid_argument otherwise).
  SongAnalyser(int sample_rate, int channels, int frames_per_second = kDefaultFramesPerSecond);
  ~SongAnalyser();
  SongAnalyser(SongAnalyser&&) noexcept;
  SongAnalyser& operator=(SongAnalyser&&) noexcept;
  SongAnalyser(const SongAnalyser&) = delete;
  SongAnalyser& operator=(const SongAnalyser&) = delete;

  // Appends frame_count interleaved sample frames (frame_count x channels values).
  void feed(const float* interleaved, std::size_t frame_count);

  // The sound has ended: every frame is ready (the last one, which runs past the end, with
  // silence after the end, as in analyse()). Nothing may be fed afterwards.
  void finish();

  // The next frame, in order, once it is final: true and the frame, or false when the next one is
  // not ready yet (more sound is needed) or, after finish(), when every frame has been taken.
  bool next_frame(SoundFrame& frame);

  std::int64_t frames_taken() const noexcept;
  std::int64_t samples_fed() const noexcept;
  bool finished() const noexcept;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// A sound file's frames, decoded and analysed piece by piece (an AudioReader feeding a
// SongAnalyser): what render and analyse show, in memory that does not grow with the song.
class SongFrameReader {
 public:
  // Opens path (see AudioReader::open). On failure: nullptr, and error "<path>: <reason>".
  static std::unique_ptr<SongFrameReader> open(const std::string& path, int frames_per_second,
                                               std::string& error);

  const AudioReader& reader() const noexcept { return *reader_; }

  // The number of frames the file's header promises (frames_covering its length_hint()), for a
  // progress meter; -1 when it does not say. The frames themselves run until next() says false.
  std::int64_t frame_count_hint() const noexcept;

  // The next frame: true and the frame; false at the end of the song, or on a failure, which
  // error() then names ("<path>: <reason>": a decoding error part way, or a file with no samples).
  bool next(SoundFrame& frame);
  const std::string& error() const noexcept { return error_; }

 private:
  SongFrameReader(std::unique_ptr<AudioReader> reader, int frames_per_second);

  std::unique_ptr<AudioReader> reader_;
  SongAnalyser analyser_;
  int frames_per_second_;
  std::vector<float> chunk_;
  std::string error_;
};

}  // namespace apehost::audio
