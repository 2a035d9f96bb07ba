#pragma once
// Video files through the ffmpeg program: frames go down a pipe to it as raw bgr0 pixels, the song
// comes from a WAV file, and ffmpeg encodes H.264 (4:2:0, constant frame rate) with the sound as
// AAC in an MP4 that can start playing before it has all arrived.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "frame_sink.hpp"
#include "host_error.hpp"

namespace apehost {

inline constexpr int kDefaultCrf = 18;  // visually near-lossless for H.264
inline constexpr int kMaxCrf = 51;

struct VideoSettings {
  std::string ffmpeg;  // the program
  std::string output;
  int width = 0;
  int height = 0;
  int frames_per_second = 0;
  int crf = kDefaultCrf;
  std::string audio_wav;  // muxed as AAC; none when empty
};

// The ffmpeg program to run: the one given (an --ffmpeg option; empty for none), or the first
// ffmpeg on PATH. Throws a bad-input error saying how to install it when there is none.
std::string find_ffmpeg(const std::string& given);

// A size H.264 in 4:2:0 can carry: both sides even. Throws a bad-input error naming option.
void check_video_size(const std::string& option, int width, int height);

// The whole ffmpeg command line, program first.
std::vector<std::string> ffmpeg_arguments(const VideoSettings& settings);

// Starts ffmpeg when made; finish() closes the pipe, waits for it and reports a failed encode with
// the last thing ffmpeg said. A sink destroyed without a successful finish() stops ffmpeg and
// removes the unfinished file.
class VideoFrameSink final : public FrameSink {
 public:
  explicit VideoFrameSink(const VideoSettings& settings);
  ~VideoFrameSink() override;
  VideoFrameSink(const VideoFrameSink&) = delete;
  VideoFrameSink& operator=(const VideoFrameSink&) = delete;

  void write(std::uint64_t index, const std::uint32_t* pixels, int width, int height) override;
  void finish() override;

 private:
  HostError ffmpeg_failure(int wait_status) const;
  [[noreturn]] void fail_with_ffmpeg_status();
  int wait_for_ffmpeg();

  VideoSettings settings_;
  std::string log_path_;
  pid_t pid_ = -1;
  int pipe_ = -1;
  bool finished_ = false;
  std::vector<unsigned char> bytes_;
};

}  // namespace apehost
