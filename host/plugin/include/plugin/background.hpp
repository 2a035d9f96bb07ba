#pragma once
// host/plugin: uses base and the C boundary (apefw/ape_abi.h) only; used by media, live and cli.
//
// What each frame starts from before the first effect of the chain draws: the host clears to a
// colour, keeps the previous picture, or keeps it darkened, so a moving object leaves trails that
// fade out.

#include <cstddef>
#include <cstdint>

namespace apehost {

struct Background {
  enum class Mode { clear, keep, fade };
  Mode mode = Mode::clear;
  std::uint32_t colour = 0;  // clear: 0x00RRGGBB
  int fade = 0;              // fade: subtracted from each channel, 1..kMaxFade
};

inline constexpr int kMaxFade = 255;

// One pixel darkened by amount per channel, each channel stopping at 0; the top byte comes out 0,
// as the effects write it.
constexpr std::uint32_t faded_pixel(std::uint32_t pixel, int amount) noexcept {
  const std::uint32_t a = amount < 0     ? 0u
                          : amount > 255 ? 255u
                                         : static_cast<std::uint32_t>(amount);
  std::uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const std::uint32_t c = pixel >> shift & 0xFFu;
    out |= (c > a ? c - a : 0u) << shift;
  }
  return out;
}

// Readies count pixels for the next frame: filled with the colour, left alone, or faded.
void prepare_background(std::uint32_t* pixels, std::size_t count, const Background& background);

// The same for a frame drawn into other memory than the frame before it (previous, count pixels
// that do not overlap pixels): filled with the colour, a copy of previous, or previous faded.
void prepare_background(const std::uint32_t* previous, std::uint32_t* pixels, std::size_t count,
                        const Background& background);

// faded_pixel of count pixels from previous into pixels (the same memory, or apart), two pixels a
// step.
void fade_pixels(const std::uint32_t* previous, std::uint32_t* pixels, std::size_t count,
                 int amount) noexcept;

}  // namespace apehost
