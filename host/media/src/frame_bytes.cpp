#include "media/frame_bytes.hpp"

namespace apehost {

void pack_bgr0(const std::uint32_t* pixels, std::size_t count, unsigned char* out) noexcept {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t word = pixels[i];
    out[4 * i + 0] = static_cast<unsigned char>(word);
    out[4 * i + 1] = static_cast<unsigned char>(word >> 8);
    out[4 * i + 2] = static_cast<unsigned char>(word >> 16);
    out[4 * i + 3] = static_cast<unsigned char>(word >> 24);
  }
}

}  // namespace apehost
