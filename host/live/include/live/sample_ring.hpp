#pragma once
// host/live: uses plugin, audio and base, and SDL (inside its sources only); used by cli.
//
// A ring of samples between two threads, one writing and one reading, without locks: an audio
// device's callback hands over what it captured, the window's thread takes it; or a song's
// decoding thread hands its sound to the output device's callback. Each side owns one
// running count (of the values written, of the values read) and only reads the other's; the storage
// is allocated once, when the ring is made.

#include <atomic>
#include <cstddef>
#include <memory>

namespace apehost {

class SampleRing {
 public:
  // Room for at least min_capacity values (a power of two, so that the running counts map to
  // places by a mask and may wrap).
  explicit SampleRing(std::size_t min_capacity);
  SampleRing(const SampleRing&) = delete;
  SampleRing& operator=(const SampleRing&) = delete;

  std::size_t capacity() const noexcept { return mask_ + 1; }

  // The writing thread: appends all count values, or none when they do not fit (false). Never
  // waits, never allocates.
  bool push(const float* values, std::size_t count) noexcept;

  // The reading thread: moves up to max_count of the oldest values to out and returns how many.
  std::size_t pop(float* out, std::size_t max_count) noexcept;

  // The reading thread: drops up to max_count of the oldest values (what a seek has made stale)
  // and returns how many.
  std::size_t discard(std::size_t max_count) noexcept;

  // Values waiting now (on either side, a count the other side may have changed since).
  std::size_t size() const noexcept;

 private:
  // Apart, so that the two threads do not share a cache line through them.
  static constexpr std::size_t kCacheLine = 64;

  std::size_t mask_;
  std::unique_ptr<float[]> values_;
  alignas(kCacheLine) std::atomic<std::size_t> written_{0};  // the writing thread's
  alignas(kCacheLine) std::atomic<std::size_t> read_{0};     // the reading thread's
};

}  // namespace apehost
