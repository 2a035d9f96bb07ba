#include "plugin/background.hpp"

#include <cstring>

namespace apehost {
namespace {

// Two pixels in one 64-bit word, each of its bytes a lane of its own.
using PixelPair = std::uint64_t;
constexpr PixelPair kEveryByte = 0x0101010101010101u;
constexpr PixelPair kColourBytes = 0x00FFFFFF00FFFFFFu;  // the top byte of each pixel is no colour
constexpr PixelPair kLaneTop = 0x8080808080808080u;      // the high bit of every byte

PixelPair load_pair(const std::uint32_t* pixels) noexcept {
  PixelPair pair;
  std::memcpy(&pair, pixels, sizeof pair);
  return pair;
}

void store_pair(std::uint32_t* pixels, PixelPair pair) noexcept {
  std::memcpy(pixels, &pair, sizeof pair);
}

// Every colour byte of pair less the same byte of amounts, stopping at 0; top bytes 0. The lanes
// subtract without borrowing from each other: each is done with its high bit set, so it cannot go
// below 0, and the high bit is then put right; a lane whose subtraction borrowed out of its high
// bit went below 0 and is cleared.
PixelPair fade_pair(PixelPair pair, PixelPair amounts) noexcept {
  const PixelPair difference =
      ((pair | kLaneTop) - (amounts & ~kLaneTop)) ^ ((pair ^ ~amounts) & kLaneTop);
  const PixelPair borrowed = ((~pair & amounts) | (~(pair ^ amounts) & difference)) & kLaneTop;
  const PixelPair below_zero = (borrowed >> 7) * 0xFFu;
  return difference & ~below_zero & kColourBytes;
}

void fill_pixels(std::uint32_t* pixels, std::size_t count, std::uint32_t colour) noexcept {
  const unsigned char byte = static_cast<unsigned char>(colour);
  if (colour == byte * 0x01010101u) {
    std::memset(pixels, byte, count * sizeof *pixels);  // black, white, grey: bytes alike
    return;
  }
  const PixelPair pair = PixelPair{colour} * 0x0000000100000001u;
  std::size_t i = 0;
  for (; i + 2 <= count; i += 2) store_pair(pixels + i, pair);
  if (i < count) pixels[i] = colour;
}

}  // namespace

void fade_pixels(const std::uint32_t* previous, std::uint32_t* pixels, std::size_t count,
                 int amount) noexcept {
  const std::uint32_t a = amount < 0     ? 0u
                          : amount > 255 ? 255u
                                         : static_cast<std::uint32_t>(amount);
  const PixelPair amounts = PixelPair{a} * kEveryByte & kColourBytes;
  std::size_t i = 0;
  for (; i + 2 <= count; i += 2)
    store_pair(pixels + i, fade_pair(load_pair(previous + i), amounts));
  if (i < count) pixels[i] = faded_pixel(previous[i], amount);
}

void prepare_background(std::uint32_t* pixels, std::size_t count, const Background& background) {
  switch (background.mode) {
    case Background::Mode::clear:
      fill_pixels(pixels, count, background.colour);
      break;
    case Background::Mode::keep:
      break;
    case Background::Mode::fade:
      fade_pixels(pixels, pixels, count, background.fade);
      break;
  }
}

void prepare_background(const std::uint32_t* previous, std::uint32_t* pixels, std::size_t count,
                        const Background& background) {
  switch (background.mode) {
    case Background::Mode::clear:
      fill_pixels(pixels, count, background.colour);
      break;
    case Background::Mode::keep:
      std::memcpy(pixels, previous, count * sizeof *pixels);
      break;
    case Background::Mode::fade:
      fade_pixels(previous, pixels, count, background.fade);
      break;
  }
}

}  // namespace apehost
