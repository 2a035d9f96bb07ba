// Background modes: the fade's arithmetic per channel, and what each mode leaves in the frame.

#include "plugin/background.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace {

using apehost::Background;
using apehost::faded_pixel;

TEST(BackgroundFade, SubtractsFromEachChannelAndStopsAtZero) {
  // Red above, green equal to and blue below the amount: each channel on its own.
  EXPECT_EQ(faded_pixel(0x00503010, 0x30), 0x00200000u);
  EXPECT_EQ(faded_pixel(0x00105030, 0x30), 0x00002000u);
  EXPECT_EQ(faded_pixel(0x00301050, 0x30), 0x00000020u);
  // No borrow from one channel into the next.
  EXPECT_EQ(faded_pixel(0x00FF00FF, 1), 0x00FE00FEu);
  EXPECT_EQ(faded_pixel(0x0000FF00, 1), 0x0000FE00u);
  EXPECT_EQ(faded_pixel(0x00010101, 2), 0u);
  // The top byte is not a colour: it comes out 0, as the effects write it.
  EXPECT_EQ(faded_pixel(0xFF808080, 0x10), 0x00707070u);
  EXPECT_EQ(faded_pixel(0x00FFFFFF, 255), 0u);
  EXPECT_EQ(faded_pixel(0x00C08040, 0), 0x00C08040u);
}

TEST(BackgroundFade, ATrailDisappearsAfterTheLevelOverTheAmountFrames) {
  // A white pixel drawn once, then faded by 24 a frame: 255 = 10 x 24 + 15, gone in frame 11.
  std::uint32_t pixel = 0x00FFFFFF;
  int frames = 0;
  while (pixel != 0) {
    pixel = faded_pixel(pixel, 24);
    ++frames;
    ASSERT_LE(frames, 11);
  }
  EXPECT_EQ(frames, 11);
}

TEST(BackgroundModes, ClearKeepAndFadeTheWholeFrame) {
  const std::vector<std::uint32_t> before = {0x00102030, 0x00FFFFFF, 0x00000005, 0x00A0B0C0};
  Background clear;
  clear.colour = 0x00123456;
  Background keep;
  keep.mode = Background::Mode::keep;
  Background fade;
  fade.mode = Background::Mode::fade;
  fade.fade = 0x10;

  auto frame = before;
  apehost::prepare_background(frame.data(), frame.size(), clear);
  EXPECT_EQ(frame, std::vector<std::uint32_t>(4, 0x00123456u));
  frame = before;
  apehost::prepare_background(frame.data(), frame.size(), keep);
  EXPECT_EQ(frame, before);
  frame = before;
  apehost::prepare_background(frame.data(), frame.size(), fade);
  EXPECT_EQ(frame, (std::vector<std::uint32_t>{0x00001020, 0x00EFEFEF, 0, 0x0090A0B0}));
}

TEST(BackgroundFade, TwoPixelsAStepGiveFadedPixelForEveryChannelValueAndAmount) {
  // 257 pixels (an odd count, so the last is done on its own): each channel runs through all 256
  // values, in another order in each, and the top bytes are not 0.
  std::vector<std::uint32_t> before;
  for (std::uint32_t i = 0; i < 257; ++i) {
    const std::uint32_t x = i & 0xFFu;
    before.push_back(x | (x ^ 0x5Au) << 8 | (255u - x) << 16 | (x * 37u & 0xFFu) << 24);
  }
  for (int amount = -3; amount <= 258; ++amount) {
    std::vector<std::uint32_t> apart(before.size(), 0x12345678u);
    apehost::fade_pixels(before.data(), apart.data(), before.size(), amount);
    std::vector<std::uint32_t> in_place = before;
    apehost::fade_pixels(in_place.data(), in_place.data(), in_place.size(), amount);
    for (std::size_t i = 0; i < before.size(); ++i) {
      ASSERT_EQ(apart[i], faded_pixel(before[i], amount)) << "pixel " << i << " amount " << amount;
      ASSERT_EQ(in_place[i], apart[i]) << "pixel " << i << " amount " << amount;
    }
  }
}

TEST(BackgroundModes, FromThePreviousFrameIntoAnother) {
  // Odd counts, so a pixel is left over after the pairs.
  const std::vector<std::uint32_t> previous = {0x00102030, 0x00FFFFFF, 0x00000005, 0x00A0B0C0,
                                               0x00010203};
  Background keep;
  keep.mode = Background::Mode::keep;
  Background fade;
  fade.mode = Background::Mode::fade;
  fade.fade = 0x10;
  std::vector<std::uint32_t> frame(previous.size(), 0x00777777);
  apehost::prepare_background(previous.data(), frame.data(), frame.size(), keep);
  EXPECT_EQ(frame, previous);
  frame.assign(previous.size(), 0x00777777);
  apehost::prepare_background(previous.data(), frame.data(), frame.size(), fade);
  EXPECT_EQ(frame, (std::vector<std::uint32_t>{0x00001020, 0x00EFEFEF, 0, 0x0090A0B0, 0x00000000}));
  for (const std::uint32_t colour : {0x00000000u, 0x00123456u, 0x00808080u, 0x00FFFFFFu}) {
    Background clear;
    clear.colour = colour;
    frame.assign(previous.size(), 0x00777777);
    apehost::prepare_background(previous.data(), frame.data(), frame.size(), clear);
    EXPECT_EQ(frame, std::vector<std::uint32_t>(previous.size(), colour)) << std::hex << colour;
    // In place, too, up to the last pixel.
    frame.assign(previous.size(), 0x00777777);
    apehost::prepare_background(frame.data(), frame.size(), clear);
    EXPECT_EQ(frame, std::vector<std::uint32_t>(previous.size(), colour)) << std::hex << colour;
  }
}

}  // namespace
