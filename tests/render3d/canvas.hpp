#pragma once
// A frame and depth buffer for rasterizer tests, with guard bands on both sides of each so that a
// write outside the frame shows up in a release build too.

#include <cstdint>
#include <vector>

#include "render3d/mesh.hpp"
#include "render3d/rasterizer.hpp"

namespace r3dtest {

inline constexpr std::uint32_t kHostColour = 0x00ABCDEFu;  // what the host drew before us
inline constexpr std::uint32_t kOutline = 0x010101u;

class Canvas {
 public:
  Canvas(std::int32_t width, std::int32_t height, std::uint32_t host = kHostColour)
      : width_(width),
        height_(height),
        frame_(static_cast<std::size_t>(width) * height + 2 * kGuard, kFrameGuard),
        depth_(static_cast<std::size_t>(width) * height + 2 * kGuard, kDepthGuard) {
    for (std::size_t i = 0; i < area(); ++i) {
      frame_[kGuard + i] = host;
      depth_[kGuard + i] = 0;
    }
  }

  render3d::RenderTarget target() {
    return {frame_.data() + kGuard, depth_.data() + kGuard, width_, height_};
  }
  std::uint32_t pixel(std::int32_t c, std::int32_t y) const { return frame_[kGuard + index(c, y)]; }
  std::uint16_t depth(std::int32_t c, std::int32_t y) const { return depth_[kGuard + index(c, y)]; }
  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }

  bool guards_intact() const {
    for (std::size_t i = 0; i < kGuard; ++i) {
      if (frame_[i] != kFrameGuard || frame_[kGuard + area() + i] != kFrameGuard) return false;
      if (depth_[i] != kDepthGuard || depth_[kGuard + area() + i] != kDepthGuard) return false;
    }
    return true;
  }
  // Whole buffers including guards, for comparing two canvases.
  const std::vector<std::uint32_t>& frame_words() const { return frame_; }
  const std::vector<std::uint16_t>& depth_words() const { return depth_; }

 private:
  static constexpr std::size_t kGuard = 64;
  static constexpr std::uint32_t kFrameGuard = 0xDEADBEEFu;
  static constexpr std::uint16_t kDepthGuard = 0xBEEFu;

  std::size_t area() const { return static_cast<std::size_t>(width_) * height_; }
  std::size_t index(std::int32_t c, std::int32_t y) const {
    return static_cast<std::size_t>(y) * width_ + c;
  }

  std::int32_t width_;
  std::int32_t height_;
  std::vector<std::uint32_t> frame_;
  std::vector<std::uint16_t> depth_;
};

inline render3d::MeshVertex vertex(double x, double y, double z, std::uint32_t colour = 0,
                                   render3d::Vec3 normal = {0.0, 0.0, 0.0}) {
  return {{x, y, z}, normal, 0, colour};
}

}  // namespace r3dtest
