#pragma once
// host/media: uses plugin, base and audio; used by cli.
//
// Video files through the ffmpeg program: frames go to it as raw bgr0 pixels over a socket that is
// its standard input, the song comes from a WAV file, and ffmpeg encodes H.264 (4:2:0, constant
// frame rate) with the sound as AAC in an MP4 that can start playing before it has all arrived.
//
// The frames are sent with MSG_NOSIGNAL: an ffmpeg that has died shows as a failed write, which is
// reported with what ffmpeg said, never as a SIGPIPE that would end the whole program. Nothing here
// changes how the process handles signals.
//
// A thread of the sink's own sends each frame while the caller draws the next, so the two
// processes work side by side: the caller waits only when ffmpeg has not yet taken the frame
// before.

#include <sys/types.h>

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/file_io.hpp"
#include "base/host_error.hpp"
#include "base/output_file.hpp"
#include "media/frame_bytes.hpp"
#include "media/frame_sink.hpp"

namespace apehost {

inline constexpr int kDefaultCrf = 18;  // visually near-lossless for H.264
inline constexpr int kMaxCrf = 51;

// The encoder's speeds, fastest first: x264's presets, each trading encoding time for a smaller
// file at the same quality.
inline constexpr std::array<std::string_view, 9> kEncoderSpeeds = {
    "ultrafast", "superfast", "veryfast", "faster", "fast", "medium", "slow", "slower", "veryslow"};
// The fastest speed whose videos keep a luma SSIM of at least 0.99 against the exact frames at the
// default quality, on the demo and on a real song (docs/benchmarks.md has the measurements).
inline constexpr std::string_view kDefaultEncoderSpeed = "ultrafast";

bool is_encoder_speed(std::string_view name);

struct VideoSettings {
  std::string ffmpeg;  // the program
  std::string output;
  Existing existing = Existing::refuse;  // whether an existing output may be replaced
  int width = 0;
  int height = 0;
  int frames_per_second = 0;
  int crf = kDefaultCrf;
  std::string speed{kDefaultEncoderSpeed};  // one of kEncoderSpeeds
  std::string audio_wav;                    // muxed as AAC; none when empty
};

// A program to run: a name without '/' is looked up on PATH (the first executable file of that
// name), anything else is a path taken as given. Empty when that is not an executable file.
std::string find_program(const std::string& name);

// A size H.264 in 4:2:0 can carry: both sides even. Otherwise throws a bad-input error about the
// size ("161x120 has an odd side; ... (e.g. 162x120)"), to which the caller adds where it came
// from.
void check_video_size(int width, int height);

// The whole ffmpeg command line, program first.
std::vector<std::string> ffmpeg_arguments(const VideoSettings& settings);

// Starts ffmpeg when made, writing to a temporary beside the output (an OutputFile); finish()
// closes its input, waits for it, reports a failed encode with the last thing ffmpeg said, and puts
// the video in place only when ffmpeg exited with status 0 and said nothing (it logs errors only,
// and exits with 0 when the disk fills up as it writes the file's end). A sink destroyed without a
// successful finish() (a failure, an interruption) stops ffmpeg and removes the temporary: the
// output is left as it was. write() hands the frame to the sending thread and returns once the
// frame before has been sent: a failed send is reported by the next write() or by finish().
class VideoFrameSink final : public FrameSink {
 public:
  explicit VideoFrameSink(const VideoSettings& settings);
  ~VideoFrameSink() override;
  VideoFrameSink(const VideoFrameSink&) = delete;
  VideoFrameSink& operator=(const VideoFrameSink&) = delete;

  void write(std::uint64_t index, const std::uint32_t* pixels, int width, int height) override;
  void finish() override;
  void abandon() noexcept override;

 private:
  HostError ffmpeg_failure(int wait_status) const;
  [[noreturn]] void fail_with_ffmpeg_status();
  int wait_for_ffmpeg();
  void send_frames();          // the sending thread
  void wait_for_sent_frame();  // throws when a send failed
  void stop_sending();

  VideoSettings settings_;
  std::optional<OutputFile> output_;
  TemporaryDirectory log_directory_;  // ffmpeg's log
  std::string log_path_;
  pid_t pid_ = -1;
  int ffmpeg_status_ = 0;  // how ffmpeg ended, once waited for
  int to_ffmpeg_ = -1;     // our end of the socket that is ffmpeg's standard input
  bool finished_ = false;
  Bgr0Bytes bgr0_;

  // Shared with the sending thread, under mutex_.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::span<const unsigned char> unsent_;  // the frame being sent, while sending_
  bool sending_ = false;
  bool stopping_ = false;
  bool send_failed_ = false;
  std::thread sender_;
};

}  // namespace apehost
