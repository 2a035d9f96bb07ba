#pragma once
// host/live: uses plugin, audio and base, and SDL (inside its sources only); used by cli.
//
// Where a playing song is being heard. The audio device's thread reports every buffer it takes
// (handed_over); the window's thread asks for the sample position being heard (heard). They share
// only atomics: the device's thread never waits for the window's, and the window's thread reads the
// last hand-over whole (a sequence count written around it, read again until it holds still).
//
// Times are counts of a monotonic counter that runs at ticks_per_second (SDL's performance counter
// in the program; made-up counts in the tests).

#include <atomic>
#include <cstdint>

namespace apehost {

class PlaybackClock {
 public:
  // device_frames: sample frames per device buffer; 0 when there is no device, and the song is
  // shown silently against the counter alone.
  PlaybackClock(int sample_rate, int device_frames, std::uint64_t ticks_per_second) noexcept;
  PlaybackClock(const PlaybackClock&) = delete;
  PlaybackClock& operator=(const PlaybackClock&) = delete;

  // The device's thread: every sample frame before taken has been handed to the device, the last
  // of them at now. Never waits, never allocates.
  void handed_over(std::int64_t taken, std::uint64_t now) noexcept;

  struct HandOver {
    std::int64_t taken = 0;
    std::uint64_t at = 0;
  };
  // The last hand-over, both values from the same one. Any thread.
  HandOver last_hand_over() const noexcept;

  // The window's thread only from here on.
  // Starts the clock with the first frame shown; true the first time only.
  bool start(std::uint64_t now) noexcept;
  // A paused clock stands still; the silent clock skips the pause when it goes on.
  void set_paused(bool paused, std::uint64_t now) noexcept;
  // The silent clock: from now on position is heard at now (a seek). A clock with a device follows
  // what the device takes, and the device's thread jumps instead.
  void move_to(std::int64_t position, std::uint64_t now) noexcept;
  // The sample position being heard at now. With a device: the samples it has taken, less the
  // buffer it is playing from, moved on by the time since it took the last ones (at most one
  // buffer). Without: the time since start, paused time left out.
  std::int64_t heard(std::uint64_t now) const noexcept;

 private:
  double seconds_between(std::uint64_t from, std::uint64_t to) const noexcept;

  const double sample_rate_;
  const std::int64_t device_frames_;
  const double ticks_per_second_;

  // Written by the device's thread: odd while a hand-over is being written.
  std::atomic<std::uint32_t> sequence_{0};
  std::atomic<std::int64_t> taken_{0};
  std::atomic<std::uint64_t> taken_at_{0};

  // The window's thread's own.
  bool started_ = false;
  bool paused_ = false;
  std::uint64_t wall_start_ = 0;  // the silent clock: when position 0 was heard
  std::uint64_t paused_at_ = 0;
  std::int64_t moved_by_ = 0;  // the silent clock: sample frames added by seeks
};

}  // namespace apehost
