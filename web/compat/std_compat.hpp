#pragma once
// Included before every C++ file of the WebAssembly build. Debian's emscripten brings libc++ 13,
// which lacks two C++20 library pieces the effects use; the compiler has what they are made of, so
// they are defined here the way later libraries define them. A library that has them keeps its own.

#include <atomic>
#include <bit>

#if !defined(__cpp_lib_bit_cast)
namespace std {
template <class To, class From>
constexpr To bit_cast(const From& from) noexcept {
  static_assert(sizeof(To) == sizeof(From));
  return __builtin_bit_cast(To, from);
}
}  // namespace std
#endif

#if !defined(__cpp_lib_atomic_ref)
namespace std {
// The relaxed loads and stores of one aligned word that the effects' shared settings fields use.
template <class T>
class atomic_ref {
 public:
  explicit atomic_ref(T& object) noexcept : object_(&object) {}
  T load(memory_order = memory_order_seq_cst) const noexcept {
    return __atomic_load_n(object_, __ATOMIC_RELAXED);
  }
  void store(T value, memory_order = memory_order_seq_cst) const noexcept {
    __atomic_store_n(object_, value, __ATOMIC_RELAXED);
  }

 private:
  T* object_;
};
}  // namespace std
#endif
