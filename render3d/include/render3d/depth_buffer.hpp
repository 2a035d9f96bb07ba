#pragma once
// The frame's 16-bit depth buffer: 0 = nothing drawn yet, larger = nearer. Owned by the effect,
// kept across frames, made anew only when the frame size changes, cleared before every frame (the
// rasterizer's depth test and its outline marks rely on the zero start). It also holds the outline
// marks a mesh collects while it is drawn (one bit per pixel), in the same allocation.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "render3d/outline_marks.hpp"
#include "render3d/rasterizer.hpp"

namespace render3d {

class DepthBuffer {
 public:
  // Fits the buffer to width x height, re-allocating whenever either differs from the size it was
  // made for, and clears it. Returns null, holding no buffer, when either side is 0 or less or no
  // buffer of that size can be had: the caller then draws nothing this frame (and tries again on
  // the next).
  std::uint16_t* prepare(std::int32_t width, std::int32_t height) noexcept;

  void release() noexcept;

  [[nodiscard]] std::uint16_t* data() const noexcept { return entries_; }
  [[nodiscard]] std::int32_t width() const noexcept { return width_; }
  [[nodiscard]] std::int32_t height() const noexcept { return height_; }

  // frame (of the size the buffer was last fitted to) with this depth buffer and its outline
  // marks: a whole mesh drawn into it gets its outline from apply_outline at the end.
  [[nodiscard]] RenderTarget target(std::uint32_t* frame) noexcept {
    return {frame, entries_, width_, height_, entries_ != nullptr ? &marks_ : nullptr};
  }

 private:
  std::unique_ptr<unsigned char[]> block_;  // the marks' words, then the depth entries
  std::uint16_t* entries_ = nullptr;
  std::size_t count_ = 0;
  OutlineMarks marks_;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
};

// width + 65536 x height in 32-bit wrap-around arithmetic: the key under which a frame size is
// remembered, the height in the upper 16 bits (it is not unique; the buffer itself compares width
// and height).
inline constexpr std::uint32_t kFrameKeyHeightUnit = 65536u;
constexpr std::int32_t frame_size_key(std::int32_t width, std::int32_t height) noexcept {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(width) +
                                   static_cast<std::uint32_t>(height) * kFrameKeyHeightUnit);
}

}  // namespace render3d
