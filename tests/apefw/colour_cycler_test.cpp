#include <gtest/gtest.h>

#include "apefw/colour_cycler.hpp"
#include "apefw/random.hpp"

namespace {

using apefw::ColourCycler;
using apefw::EffectSettings;

EffectSettings with_colours(std::initializer_list<std::uint32_t> colours) {
  EffectSettings s;
  apefw::reset_settings(s);
  int i = 0;
  for (std::uint32_t c : colours) s.colours[i++] = c;
  s.colour_count = i;
  return s;
}

std::uint32_t blend_at(const EffectSettings& s, double position) {
  return ColourCycler(s, position).blend_colour();
}

TEST(ColourBlend, OneColourIsUsedUnscaledWhateverThePosition) {
  EffectSettings s = with_colours({0xFFFFFFu});
  s.colours[0] = 0xAB123456u;  // even a stored top byte
  for (double p : {0.0, 0.5, 0.99}) EXPECT_EQ(blend_at(s, p), 0xAB123456u);
}

TEST(ColourBlend, WeightsAddUpTo255) {
  const EffectSettings s = with_colours({0xFF0000u, 0x0000FFu});
  // t = 127: red (255 * 128) >> 8 = 127, blue (255 * 127) >> 8 = 126.
  EXPECT_EQ(blend_at(s, 0.5), 0x7F007Eu);
}

TEST(ColourBlend, WholePositionScalesTheEntryBy255Over256) {
  const EffectSettings s = with_colours({0x000000u, 0xFFFFFFu});
  EXPECT_EQ(blend_at(s, 1.0), 0xFEFEFEu);
  const EffectSettings t = with_colours({0x80FF01u, 0x000000u});
  EXPECT_EQ(blend_at(t, 0.0), 0x7FFE00u);
}

TEST(ColourBlend, TopOfTheCycleBlendsBackToTheFirstEntry) {
  const EffectSettings s = with_colours({0x0000FFu, 0xFF0000u});
  // Position 1.5: from entry 1 (red) back to entry 0 (blue).
  EXPECT_EQ(blend_at(s, 1.5), 0x7F007Eu);
  // Channels are blended independently: green from one side only.
  const EffectSettings g = with_colours({0x00FF00u, 0x000000u, 0x0000FFu});
  EXPECT_EQ(blend_at(g, 2.25), (((0xFFu * 63u) >> 8) << 8) | ((0xFFu * 192u) >> 8));
}

TEST(ColourBlend, StoredTopBytesNeverReachTheResult) {
  const EffectSettings s = with_colours({0xFFFFFFFFu, 0xFFFFFFFFu});
  EXPECT_EQ(blend_at(s, 0.3) >> 24, 0u);
}

int frames_until_wrap(int count) {
  EffectSettings s = with_colours({});
  s.colour_count = count;
  double position = 0.0;
  ColourCycler cycler(s, position);
  for (int frame = 1; frame < 5000; ++frame) {
    cycler.advance_colour(0);
    if (position == 0.0) return frame;
  }
  return -1;
}

TEST(ColourAdvance, ReturnsToZeroOnTheFrameTheSumReachesTheCount) {
  EXPECT_EQ(frames_until_wrap(1), 67);
  EXPECT_EQ(frames_until_wrap(2), 134);
  EXPECT_EQ(frames_until_wrap(16), 1067);
}

TEST(ColourAdvance, BeatJumpLandsInTheFirstHalfOnMultiplesOfCountOver65536) {
  EffectSettings s = with_colours({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
  s.on_beat_change = 1;
  double position = 0.0;
  ColourCycler cycler(s, position);
  apefw::seed_random(1);
  cycler.advance_colour(1);
  EXPECT_EQ(position, 41 * 16 / 65536.0);  // the first draw from seed 1 is 41
  for (int i = 0; i < 2000; ++i) {
    cycler.advance_colour(1);
    ASSERT_LT(position, 8.0);
  }
}

TEST(ColourAdvance, BeatWithoutOnBeatChangeDrawsNothing) {
  EffectSettings s = with_colours({1, 2});
  double position = 0.5;
  ColourCycler cycler(s, position);
  apefw::seed_random(99);
  cycler.advance_colour(1);
  EXPECT_DOUBLE_EQ(position, 0.515);
  EXPECT_EQ(apefw::random_state(), 99u);
}

TEST(ColourAdvance, LoweredCountResetsThePositionOnTheNextFrame) {
  EffectSettings s = with_colours({1, 2, 3, 4, 5, 6, 7, 8});
  double position = 6.3;
  ColourCycler cycler(s, position);
  s.colour_count = 2;
  cycler.advance_colour(0);
  EXPECT_EQ(position, 0.0);
}

}  // namespace
