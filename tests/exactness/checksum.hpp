#pragma once
// The running checksum the exactness tests fold frames, depth buffers and meshes into.

#include <cstdint>
#include <cstring>

#include "render3d/vec3.hpp"

namespace exactness {

// A 64-bit running hash, one multiply and one fold per 32-bit word (frames are large; the sum only
// has to change whenever any word does).
class Checksum {
 public:
  void add(std::uint32_t word) noexcept {
    hash_ = (hash_ ^ word) * 0x100000001B3ull;
    hash_ ^= hash_ >> 29;
  }
  void add(std::uint64_t word) noexcept {
    add(static_cast<std::uint32_t>(word));
    add(static_cast<std::uint32_t>(word >> 32));
  }
  void add(double v) noexcept {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    add(bits);
  }
  void add(const render3d::Vec3& v) noexcept {
    add(v.x);
    add(v.y);
    add(v.z);
  }
  [[nodiscard]] std::uint64_t value() const noexcept { return hash_; }

 private:
  std::uint64_t hash_ = 0xCBF29CE484222325ull;
};

}  // namespace exactness
