// The effect stack: drawing order, settings per effect, the edits the live window makes through
// load_settings, and the random colour lists.

#include "plugin/effect_chain.hpp"

#include <gtest/gtest.h>

#include <array>
#include <set>

#include "fixed_tick.hpp"
#include "plugin/plugin_loader.hpp"
#include "plugin/settings_blob.hpp"

namespace {

using apehost::Background;
using apehost::EffectChain;
using apehost::FrameBuffer;
using apehost::PluginModule;

constexpr int kW = 16;
constexpr int kH = 3;

std::vector<std::uint8_t> blob_with(std::uint32_t first, std::uint32_t second, int count) {
  apehost::SettingsBlob blob{};
  apehost::set_blob_colour(blob, 0, first);
  apehost::set_blob_colour(blob, 1, second);
  apehost::set_blob_colour_count(blob, count);
  return {blob.begin(), blob.end()};
}

const std::array<std::uint8_t, APE_SOUND_BYTES> kSilence{};

class EffectChainTest : public ::testing::Test {
 protected:
  PluginModule probe_ = PluginModule::load(PROBEFX_MODULE);
  std::vector<std::uint8_t> a_ = blob_with(0x00AA0001, 0x00AA0002, 2);
  std::vector<std::uint8_t> b_ = blob_with(0x00BB0001, 0x00BB0002, 1);
};

TEST_F(EffectChainTest, LaterEffectsDrawOverEarlierOnesEachWithItsOwnSettings) {
  FrameBuffer frame;
  frame.resize(kW, kH, 0);
  EffectChain ab;
  ab.add(probe_, &a_);
  ab.add(probe_, &b_);
  ab.render(kSilence.data(), false, Background{}, frame);
  // Both write the report strip and the marker at column 1; the second one's stays.
  EXPECT_EQ(frame.pixels()[7], 0x00BB0001u);
  EXPECT_EQ(frame.pixels()[kW + 1], 0x00BB0001u);
  EXPECT_EQ(frame.pixels()[3], (1u << 16) | 72u) << "one load of its own blob";

  EffectChain ba;
  ba.add(probe_, &b_);
  ba.add(probe_, &a_);
  ba.render(kSilence.data(), false, Background{}, frame);
  EXPECT_EQ(frame.pixels()[7], 0x00AA0001u);
  EXPECT_EQ(frame.pixels()[kW + 1], 0x00AA0002u);  // colours[count - 1]
  EXPECT_EQ(ab.description(), "Render / Probe + Render / Probe");
}

TEST_F(EffectChainTest, WithoutABlobAnEffectKeepsItsDefaultsAndIsNotLoaded) {
  FrameBuffer frame;
  frame.resize(kW, kH, 0);
  EffectChain chain;
  chain.add(probe_, nullptr);
  chain.render(kSilence.data(), true, Background{}, frame);
  EXPECT_EQ(frame.pixels()[3], 0u);
  EXPECT_EQ(frame.pixels()[7], 0x00007FFFu);
  EXPECT_EQ(frame.pixels()[4], 1u) << "the beat reaches the effect";
}

TEST_F(EffectChainTest, ColourAndOnBeatEditsGoThroughLoadSettings) {
  FrameBuffer frame;
  frame.resize(kW, kH, 0);
  EffectChain chain;
  chain.add(probe_, &a_);
  chain.add(probe_, &b_);
  EXPECT_FALSE(chain.on_beat());
  chain.set_colours(1, {0x00102030, 0x00405060, 0x00708090});
  chain.set_on_beat(true);
  EXPECT_TRUE(chain.on_beat());
  chain.render(kSilence.data(), false, Background{}, frame);
  EXPECT_EQ(frame.pixels()[7], 0x00102030u);
  EXPECT_EQ(frame.pixels()[9], (3u << 8) | 1u);    // three colours, on-beat change on
  EXPECT_EQ(frame.pixels()[3], (3u << 16) | 72u);  // its blob, the colours, the flag
  EXPECT_EQ(frame.pixels()[kW + 1], 0x00708090u);
  // The first effect's colours are untouched; its flag went on too.
  const apehost::SettingsBlob first = chain.settings(0);
  EXPECT_EQ(apehost::blob_colour(first, 0), 0x00AA0001u);
  EXPECT_EQ(apehost::blob_colour_count(first), 2);
  EXPECT_EQ(apehost::blob_on_beat(first), 1);
  chain.set_on_beat(false);
  EXPECT_FALSE(chain.on_beat());
  EXPECT_EQ(apehost::blob_on_beat(chain.settings(1)), 0);
}

TEST_F(EffectChainTest, TheBackgroundIsReadiedOnceBeforeTheFirstEffect) {
  FrameBuffer frame;
  frame.resize(kW, kH, 0x00FFFFFF);
  Background fade;
  fade.mode = Background::Mode::fade;
  fade.fade = 0x10;
  EffectChain chain;
  chain.add(probe_, &b_);
  chain.add(probe_, &b_);
  chain.render(kSilence.data(), false, fade, frame);
  // Pixel 11 reports what it held when each probe started: faded once, not twice.
  EXPECT_EQ(frame.pixels()[11], 0x00EFEFEFu);
  EXPECT_EQ(frame.pixels()[2 * kW + 3], 0x00EFEFEFu);
}

#ifdef COILFX_MODULE
TEST_F(EffectChainTest, ARealEffectUnderAProbeStillDrawsAllItsPixelsOutsideTheStrip) {
  constexpr int w = 64;
  constexpr int h = 48;
  const PluginModule coil = PluginModule::load(COILFX_MODULE);
  std::array<std::uint8_t, APE_SOUND_BYTES> sound{};
  for (std::size_t i = 0; i < sound.size(); ++i) sound[i] = static_cast<std::uint8_t>(i * 7);
  const auto render = [&](bool with_probe) {
    testsupport::set_fixed_tick(99);
    EffectChain chain;
    chain.add(coil, nullptr);
    if (with_probe) chain.add(probe_, &b_);
    FrameBuffer frame;
    frame.resize(w, h, 0);
    for (int f = 0; f < 5; ++f) chain.render(sound.data(), f == 2, Background{}, frame);
    return std::vector<std::uint32_t>(frame.pixels(), frame.pixels() + w * h);
  };
  const auto alone = render(false);
  const auto stacked = render(true);
  EXPECT_EQ(std::vector<std::uint32_t>(alone.begin() + 2 * w, alone.end()),
            std::vector<std::uint32_t>(stacked.begin() + 2 * w, stacked.end()));
  EXPECT_EQ(stacked[7], 0x00BB0001u);
  std::size_t drawn = 0;
  for (std::uint32_t p : alone) drawn += p != 0;
  EXPECT_GT(drawn, 100u);
}
#endif

TEST(FrameBuffer, ANewSizeStartsOverInTheFillColour) {
  FrameBuffer frame;
  frame.resize(3, 2, 0x00010203);
  frame.pixels()[4] = 0x00FFFFFF;
  frame.resize(2, 5, 0x00040506);
  EXPECT_EQ(frame.width(), 2);
  EXPECT_EQ(frame.height(), 5);
  ASSERT_EQ(frame.pixel_count(), 10u);
  for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(frame.pixels()[i], 0x00040506u);
}

TEST(RandomColourList, ThreeToSixBrightDistinctColours) {
  std::mt19937 generator(12345);
  std::set<std::size_t> sizes;
  for (int run = 0; run < 200; ++run) {
    const auto colours = apehost::random_colour_list(generator);
    sizes.insert(colours.size());
    ASSERT_GE(colours.size(), 3u);
    ASSERT_LE(colours.size(), 6u);
    std::set<std::uint32_t> distinct(colours.begin(), colours.end());
    EXPECT_EQ(distinct.size(), colours.size());
    for (std::uint32_t c : colours) {
      EXPECT_EQ(c >> 24, 0u);
      const std::uint32_t brightest = std::max({c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF});
      const std::uint32_t darkest = std::min({c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF});
      EXPECT_GE(brightest, 200u) << std::hex << c;
      EXPECT_LE(darkest * 10, brightest * 4) << std::hex << c << ": not saturated";
    }
  }
  EXPECT_EQ(sizes.size(), 4u) << "every length turns up";
}

}  // namespace
