#pragma once
// Sound files read and written in pieces, so a song of any length passes through in the memory of
// one piece. Every failure is reported as one line, "<path>: <reason>", which the command line
// prints as it is.

#include <cstdint>
#include <memory>
#include <string>

namespace apehost::audio {

// The sample rates and channel counts a sound file may have here. Below and above them a header is
// broken or hostile (a rate of 0 or 2,147,483,647 Hz, no channels, thousands of them), and the file
// is refused with a line saying what it gives; the analysis refuses them too (they would only ask
// for absurd amounts of memory).
inline constexpr int kMinSampleRate = 1000;
inline constexpr int kMaxSampleRate = 768000;
inline constexpr int kMaxChannels = 256;
constexpr bool usable_sound_format(long long sample_rate, long long channels) noexcept {
  return sample_rate >= kMinSampleRate && sample_rate <= kMaxSampleRate && channels >= 1 &&
         channels <= kMaxChannels;
}

// Reads a sound file in pieces: WAV, FLAC, Ogg (Vorbis, Opus), MP3, AIFF and whatever else the
// installed libsndfile reads, as interleaved float samples (integer formats scaled to -1..1).
class AudioReader {
 public:
  // Opens path. On failure: nullptr, and error "<path>: <reason>": not there, a directory, not a
  // sound file, or a sample rate or channel count out of range.
  static std::unique_ptr<AudioReader> open(const std::string& path, std::string& error);
  ~AudioReader();
  AudioReader(const AudioReader&) = delete;
  AudioReader& operator=(const AudioReader&) = delete;

  const std::string& path() const noexcept { return path_; }
  int sample_rate() const noexcept { return sample_rate_; }
  int channels() const noexcept { return channels_; }

  // The length the file's header gives, in sample frames: exact for WAV, FLAC and AIFF, an estimate
  // for some MP3 and Ogg streams; -1 when it gives none. The samples run until read() returns 0.
  std::int64_t length_hint() const noexcept { return length_hint_; }

  // Reads up to max_frames sample frames into out, which has room for max_frames x channels()
  // values. Returns the number read: 0 at the end of the sound, -1 on a decoding error (error()
  // then holds "<path>: decoding failed: <reason>").
  std::int64_t read(float* out, std::int64_t max_frames);

  // Moves to sample frame `frame` (0 the first, length_hint() the end): the next read() starts
  // there. False when the file cannot be moved there (past the end of its sound, a stream that does
  // not seek, or after a decoding error), with error "<path>: cannot seek to sample frame N:
  // <reason>"; reading then goes on from where it was.
  bool seek(std::int64_t frame, std::string& error);

  // Sample frames read since opening (a seek does not count them again or undo them).
  std::int64_t frames_read() const noexcept { return frames_read_; }
  const std::string& error() const noexcept { return error_; }

 private:
  struct File;
  AudioReader(std::string path, std::unique_ptr<File> file, int sample_rate, int channels,
              std::int64_t length_hint);

  std::string path_;
  std::unique_ptr<File> file_;
  int sample_rate_;
  int channels_;
  std::int64_t length_hint_;
  std::int64_t frames_read_ = 0;
  bool failed_ = false;
  std::string error_;
};

// Writes a 16-bit PCM WAV file in pieces (what ffmpeg muxes without fuss). Samples beyond -1..1
// are clipped rather than wrapped.
class WavWriter {
 public:
  // Creates path. On failure: nullptr, and error "<path>: <reason>".
  static std::unique_ptr<WavWriter> create(const std::string& path, int sample_rate, int channels,
                                           std::string& error);
  // Without close(), the file is closed without reporting whether its end was written.
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Appends frame_count interleaved sample frames. On failure: false, and error.
  bool write(const float* interleaved, std::int64_t frame_count, std::string& error);
  // Finishes the header. On failure (a full disk): false, and error.
  bool close(std::string& error);

 private:
  struct File;
  WavWriter(std::string path, std::unique_ptr<File> file, int channels);

  std::string path_;
  std::unique_ptr<File> file_;
  int channels_;
};

// Decodes source and writes it to wav as 16-bit PCM, a piece at a time: the sound render muxes
// into a video, made without holding the song. On failure: false, and error naming the file.
bool copy_to_wav(const std::string& source, const std::string& wav, std::string& error);

}  // namespace apehost::audio
