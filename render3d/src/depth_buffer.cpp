#include "render3d/depth_buffer.hpp"

#include <cstring>
#include <limits>
#include <new>

#include "outline.hpp"

namespace render3d {

std::uint16_t* DepthBuffer::prepare(std::int32_t width, std::int32_t height) noexcept {
  if (width <= 0 || height <= 0) {
    release();
    return nullptr;
  }
  if (!block_ || width != width_ || height != height_) {
    release();
    // One allocation: the outline marks (64 pixels a word, whole words per row), then the
    // entries. Each product is checked against the address space before it is formed.
    constexpr std::uint64_t kMaxBytes = std::numeric_limits<std::size_t>::max();
    const std::uint64_t count =
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    const std::uint64_t words_per_row = (static_cast<std::uint64_t>(width) + 63u) / 64u;
    const std::uint64_t words = words_per_row * static_cast<std::uint64_t>(height);
    if (count > kMaxBytes / sizeof(std::uint16_t) || words > kMaxBytes / sizeof(std::uint64_t))
      return nullptr;
    const std::uint64_t mark_bytes = words * sizeof(std::uint64_t);
    const std::uint64_t entry_bytes = count * sizeof(std::uint16_t);
    if (mark_bytes > kMaxBytes - entry_bytes) return nullptr;
    block_.reset(
        new (std::nothrow) unsigned char[static_cast<std::size_t>(mark_bytes + entry_bytes)]);
    if (!block_) return nullptr;
    std::memset(block_.get(), 0, static_cast<std::size_t>(mark_bytes));
    marks_ = OutlineMarks{};
    marks_.words = reinterpret_cast<std::uint64_t*>(block_.get());
    marks_.words_per_row = static_cast<std::ptrdiff_t>(words_per_row);
    entries_ = reinterpret_cast<std::uint16_t*>(block_.get() + mark_bytes);
    count_ = static_cast<std::size_t>(count);
    width_ = width;
    height_ = height;
  } else {
    // Marks left over from a mesh whose outline was never applied are dropped, as the depths are.
    detail::clear_marks(marks_);
  }
  std::memset(entries_, 0, count_ * sizeof(std::uint16_t));
  return entries_;
}

void DepthBuffer::release() noexcept {
  block_.reset();
  entries_ = nullptr;
  count_ = 0;
  marks_ = OutlineMarks{};
  width_ = 0;
  height_ = 0;
}

}  // namespace render3d
