#pragma once
// host/media: uses plugin, base and audio; used by cli.
//
// The progress bar of a long render, on standard error: frames done of the total, the rate, the
// speed as a multiple of real time (the frames' own rate) and the time left. Drawn in place on a
// terminal and at most ten times a second; nothing at all when standard error is not a terminal,
// so logs and pipes get only the closing status line.

#include <chrono>
#include <cstdint>
#include <string>

namespace apehost {

// One line of the bar, without line ending: "[#####.....]  45%  405/900 frames  62.3 fps  1.04x
// real time  ETA 0:07". seconds is the time since the first frame, frames_per_second the rate the
// frames are shown at (the multiple of real time is left out when it is 0); the rate, the multiple
// and the time left are left out until a frame is done. A total of kUnknownTotal (a song whose
// length is not known) gives the frames done and the rates, without a bar: "405 frames  62.3 fps
// 1.04x real time".
inline constexpr std::uint64_t kUnknownTotal = 0xFFFFFFFFFFFFFFFFull;
std::string progress_line(std::uint64_t done, std::uint64_t total, double seconds,
                          int frames_per_second, int bar_width);

class ProgressMeter {
 public:
  // Shown when standard error is a terminal. total may be an estimate (a song's header): when more
  // frames come, the bar gives way to the count alone.
  ProgressMeter(std::uint64_t total, int frames_per_second);
  ~ProgressMeter();
  void update(std::uint64_t done);
  // Draws the final state and ends the line.
  void finish();

 private:
  std::uint64_t total_;
  int frames_per_second_;
  bool shown_;
  bool finished_ = false;
  std::uint64_t done_ = 0;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_;
};

}  // namespace apehost
