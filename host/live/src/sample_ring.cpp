#include "live/sample_ring.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

namespace apehost {

static_assert(std::atomic<std::size_t>::is_always_lock_free,
              "the device's thread must never wait on a lock");

SampleRing::SampleRing(std::size_t min_capacity)
    : mask_(std::bit_ceil(std::max<std::size_t>(min_capacity, 1)) - 1),
      values_(std::make_unique<float[]>(mask_ + 1)) {}

bool SampleRing::push(const float* values, std::size_t count) noexcept {
  const std::size_t written = written_.load(std::memory_order_relaxed);
  // Acquire: the reader has finished with the places it has given back.
  const std::size_t read = read_.load(std::memory_order_acquire);
  // Unsigned: the counts wrap, and their difference stays right across the wrap.
  if (count > capacity() - (written - read)) return false;
  if (count == 0) return true;
  const std::size_t at = written & mask_;
  const std::size_t first = std::min(count, capacity() - at);  // up to the end of the storage
  std::memcpy(&values_[at], values, first * sizeof(float));
  std::memcpy(&values_[0], values + first, (count - first) * sizeof(float));
  // Release: the values are in place before the reader sees them counted.
  written_.store(written + count, std::memory_order_release);
  return true;
}

std::size_t SampleRing::pop(float* out, std::size_t max_count) noexcept {
  const std::size_t read = read_.load(std::memory_order_relaxed);
  const std::size_t written = written_.load(std::memory_order_acquire);
  const std::size_t count = std::min(max_count, written - read);
  if (count == 0) return 0;
  const std::size_t at = read & mask_;
  const std::size_t first = std::min(count, capacity() - at);
  std::memcpy(out, &values_[at], first * sizeof(float));
  std::memcpy(out + first, &values_[0], (count - first) * sizeof(float));
  read_.store(read + count, std::memory_order_release);
  return count;
}

std::size_t SampleRing::discard(std::size_t max_count) noexcept {
  const std::size_t read = read_.load(std::memory_order_relaxed);
  const std::size_t written = written_.load(std::memory_order_acquire);
  const std::size_t count = std::min(max_count, written - read);
  // Release: the places are the writer's again.
  read_.store(read + count, std::memory_order_release);
  return count;
}

std::size_t SampleRing::size() const noexcept {
  const std::size_t read = read_.load(std::memory_order_acquire);
  return written_.load(std::memory_order_acquire) - read;
}

}  // namespace apehost
