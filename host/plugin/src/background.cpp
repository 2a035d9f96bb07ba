#include "plugin/background.hpp"

#include <algorithm>

namespace apehost {

void prepare_background(std::uint32_t* pixels, std::size_t count, const Background& background) {
  switch (background.mode) {
    case Background::Mode::clear:
      std::fill(pixels, pixels + count, background.colour);
      break;
    case Background::Mode::keep:
      break;
    case Background::Mode::fade:
      for (std::size_t i = 0; i < count; ++i) pixels[i] = faded_pixel(pixels[i], background.fade);
      break;
  }
}

}  // namespace apehost
