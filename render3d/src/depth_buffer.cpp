#include "render3d/depth_buffer.hpp"

#include <cstring>
#include <limits>
#include <new>

namespace render3d {

std::uint16_t* DepthBuffer::prepare(std::int32_t width, std::int32_t height) noexcept {
  if (width <= 0 || height <= 0) {
    release();
    return nullptr;
  }
  if (!entries_ || width != width_ || height != height_) {
    release();
    const std::uint64_t count =
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (count > std::numeric_limits<std::size_t>::max() / sizeof(std::uint16_t)) return nullptr;
    entries_.reset(new (std::nothrow) std::uint16_t[static_cast<std::size_t>(count)]);
    if (!entries_) return nullptr;
    count_ = static_cast<std::size_t>(count);
    width_ = width;
    height_ = height;
  }
  std::memset(entries_.get(), 0, count_ * sizeof(std::uint16_t));
  return entries_.get();
}

void DepthBuffer::release() noexcept {
  entries_.reset();
  count_ = 0;
  width_ = 0;
  height_ = 0;
}

}  // namespace render3d
