#pragma once
// host/media: uses plugin, base and audio; used by cli.
//
// A frame as the bytes of the bgr0 stream the raw output and the video encoder carry: each pixel
// one little-endian 32-bit word 0x00RRGGBB, so blue, green, red, 0 byte by byte. On a
// little-endian machine the frame's words already are those bytes and go out as they lie in
// memory; elsewhere they are packed into a buffer first. The choice is made when compiling.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace apehost {

// Whether a frame's words in memory are the stream's bytes as they are.
inline constexpr bool kPixelWordsAreBgr0 = std::endian::native == std::endian::little;

// Writes the stream bytes of count pixels to out (4 * count bytes), by shifts, on any machine.
void pack_bgr0(const std::uint32_t* pixels, std::size_t count, unsigned char* out) noexcept;

// The stream bytes of frames, one frame at a time.
class Bgr0Bytes {
 public:
  // The bytes of count pixels: the pixels' own memory where kPixelWordsAreBgr0 (valid while the
  // pixels are), else a packed copy (valid until the next call).
  std::span<const unsigned char> of(const std::uint32_t* pixels, std::size_t count) {
    if constexpr (kPixelWordsAreBgr0) {
      return {reinterpret_cast<const unsigned char*>(pixels), count * sizeof(std::uint32_t)};
    } else {
      packed_.resize(count * sizeof(std::uint32_t));
      pack_bgr0(pixels, count, packed_.data());
      return packed_;
    }
  }

 private:
  std::vector<unsigned char> packed_;  // used where the words must be packed
};

}  // namespace apehost
