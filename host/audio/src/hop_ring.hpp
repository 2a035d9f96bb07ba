#pragma once
// A fixed-capacity history indexed by absolute position: the newest `capacity` values of a stream
// that only grows. Internal to apehost_audio (the beat tracker keeps its per-hop values in these,
// so its memory stays the same however long the sound).

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace apehost::audio::detail {

template <typename T>
class HopRing {
 public:
  explicit HopRing(std::size_t capacity, T fill = T{}) : values_(capacity, fill), fill_(fill) {}

  void push(const T& value) {
    values_[static_cast<std::size_t>(size_ % capacity())] = value;
    ++size_;
  }

  // Values pushed so far; the indices still held are from size() - capacity() on.
  std::int64_t size() const noexcept { return size_; }
  std::int64_t capacity() const noexcept { return static_cast<std::int64_t>(values_.size()); }
  bool holds(std::int64_t index) const noexcept {
    return index >= 0 && index < size_ && index >= size_ - capacity();
  }

  const T& operator[](std::int64_t index) const {
    assert(holds(index));
    return values_[static_cast<std::size_t>(index % capacity())];
  }
  T& operator[](std::int64_t index) {
    assert(holds(index));
    return values_[static_cast<std::size_t>(index % capacity())];
  }

  // The value at index when it is held, otherwise the fill value (before the start, or forgotten).
  const T& at_or_fill(std::int64_t index) const noexcept {
    return holds(index) ? values_[static_cast<std::size_t>(index % capacity())] : fill_;
  }

 private:
  std::vector<T> values_;
  T fill_;
  std::int64_t size_ = 0;
};

}  // namespace apehost::audio::detail
