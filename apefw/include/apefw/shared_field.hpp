#pragma once
// Fields that the settings panel (window thread) and render_frame (render thread) share. There is
// no lock: each field is one aligned 32-bit word read and written whole, with relaxed atomics so
// that neither the compiler nor a race detector sees a torn or racy access.

#include <atomic>
#include <cstdint>
#include <type_traits>

namespace apefw {

template <class T>
concept SharedWord = std::is_integral_v<T> && sizeof(T) == 4;

template <SharedWord T>
[[nodiscard]] inline T read_shared(const T& field) noexcept {
  // atomic_ref needs a non-const referent; a relaxed load does not modify it.
  return std::atomic_ref<T>(const_cast<T&>(field)).load(std::memory_order_relaxed);
}

template <SharedWord T>
inline void write_shared(T& field, T value) noexcept {
  std::atomic_ref<T>(field).store(value, std::memory_order_relaxed);
}

}  // namespace apefw
