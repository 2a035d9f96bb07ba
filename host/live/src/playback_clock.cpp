#include "live/playback_clock.hpp"

#include <algorithm>

namespace apehost {

static_assert(std::atomic<std::uint32_t>::is_always_lock_free &&
                  std::atomic<std::int64_t>::is_always_lock_free &&
                  std::atomic<std::uint64_t>::is_always_lock_free,
              "the device's thread must never wait on a lock");

PlaybackClock::PlaybackClock(int sample_rate, int device_frames,
                             std::uint64_t ticks_per_second) noexcept
    : sample_rate_(sample_rate),
      device_frames_(device_frames),
      ticks_per_second_(static_cast<double>(ticks_per_second)) {}

void PlaybackClock::handed_over(std::int64_t taken, std::uint64_t now) noexcept {
  // Only this thread writes: an odd count tells a reader that the pair is being changed, and the
  // release fence keeps the odd count ahead of the new values.
  const std::uint32_t sequence = sequence_.load(std::memory_order_relaxed);
  sequence_.store(sequence + 1, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  taken_.store(taken, std::memory_order_relaxed);
  taken_at_.store(now, std::memory_order_relaxed);
  sequence_.store(sequence + 2, std::memory_order_release);
}

PlaybackClock::HandOver PlaybackClock::last_hand_over() const noexcept {
  for (;;) {
    const std::uint32_t before = sequence_.load(std::memory_order_acquire);
    HandOver last;
    last.taken = taken_.load(std::memory_order_relaxed);
    last.at = taken_at_.load(std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_acquire);
    // The same even count on both sides: no hand-over was written in between.
    if (before % 2 == 0 && sequence_.load(std::memory_order_relaxed) == before) return last;
  }
}

bool PlaybackClock::start(std::uint64_t now) noexcept {
  if (started_) return false;
  started_ = true;
  wall_start_ = now;
  return true;
}

void PlaybackClock::set_paused(bool paused, std::uint64_t now) noexcept {
  if (paused == paused_) return;
  if (paused) {
    paused_at_ = now;
  } else if (started_) {
    wall_start_ += now - paused_at_;  // the silent clock skips the pause
  }
  paused_ = paused;
}

void PlaybackClock::move_to(std::int64_t position, std::uint64_t now) noexcept {
  if (device_frames_ != 0) return;
  if (!started_) start(now);
  moved_by_ = 0;
  moved_by_ = position - heard(now);
}

double PlaybackClock::seconds_between(std::uint64_t from, std::uint64_t to) const noexcept {
  // A hand-over may land after the caller read the counter: no time has passed since it, then.
  return to > from ? static_cast<double>(to - from) / ticks_per_second_ : 0.0;
}

std::int64_t PlaybackClock::heard(std::uint64_t now) const noexcept {
  if (device_frames_ == 0) {
    if (!started_) return 0;
    return moved_by_ + static_cast<std::int64_t>(
                           seconds_between(wall_start_, paused_ ? paused_at_ : now) * sample_rate_);
  }
  const HandOver last = last_hand_over();
  if (last.taken == 0) return 0;
  // The buffer just taken plays once the one before it is done: the device is playing the samples
  // one buffer before the last it took, and moves through a buffer in a buffer's time.
  const double since = seconds_between(last.at, paused_ ? std::max(paused_at_, last.at) : now);
  const auto moved =
      std::min<std::int64_t>(static_cast<std::int64_t>(since * sample_rate_), device_frames_);
  return std::max<std::int64_t>(0, last.taken - 2 * device_frames_ + moved);
}

}  // namespace apehost
