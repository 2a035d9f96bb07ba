#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "apefw/effect_settings.hpp"

namespace {

using apefw::EffectSettings;
using Blob = std::array<std::uint8_t, 72>;

Blob save(const EffectSettings& s) {
  Blob out{};
  EXPECT_EQ(apefw::save_settings_blob(s, out.data()), 72);
  return out;
}

EffectSettings fresh() {
  EffectSettings s;
  apefw::reset_settings(s);
  return s;
}

// A blob whose every byte differs, so a byte landing in the wrong place shows.
Blob numbered_blob(std::int32_t count, std::int32_t on_beat) {
  Blob b{};
  for (int i = 0; i < 64; ++i) b[i] = static_cast<std::uint8_t>(0x10 + i);
  for (int i = 0; i < 4; ++i)
    b[64 + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(count) >> (8 * i));
  for (int i = 0; i < 4; ++i)
    b[68 + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(on_beat) >> (8 * i));
  return b;
}

TEST(Settings, DefaultBlobBytes) {
  const Blob b = save(fresh());
  Blob expected{};
  expected[0] = 0xFF;
  expected[1] = 0x7F;
  expected[64] = 0x01;
  EXPECT_EQ(b, expected);
}

TEST(Settings, FullBlobRoundTripsExceptClampedCount) {
  for (std::int32_t count : {1, 7, 16}) {
    EffectSettings s = fresh();
    const Blob in = numbered_blob(count, 1);
    apefw::load_settings_blob(s, in.data(), 72);
    EXPECT_EQ(save(s), in) << count;
  }
  struct Case {
    std::int32_t in, out;
  };
  for (Case c : {Case{0, 1}, Case{-5, 1}, Case{INT32_MIN, 1}, Case{17, 16}, Case{1000, 16},
                 Case{INT32_MAX, 16}}) {
    EffectSettings s = fresh();
    const Blob in = numbered_blob(c.in, 0);
    apefw::load_settings_blob(s, in.data(), 72);
    EXPECT_EQ(s.colour_count, c.out) << c.in;
    Blob expected = numbered_blob(c.out, 0);
    EXPECT_EQ(save(s), expected);
  }
}

TEST(Settings, OverlongZeroAndNegativeLengthsChangeNothing) {
  for (int length : {73, 1000, 0, -1, INT32_MIN}) {
    EffectSettings s = fresh();
    const Blob before = numbered_blob(9, 3);
    apefw::load_settings_blob(s, before.data(), 72);
    const Blob other = numbered_blob(2, 0);
    apefw::load_settings_blob(s, other.data(), length);
    EXPECT_EQ(save(s), before) << length;
  }
}

TEST(Settings, OverlongBlobStillClampsAStoredCount) {
  EffectSettings s = fresh();
  s.colour_count = 40;  // as the panel could never leave it, but a direct write might
  const Blob b = numbered_blob(3, 0);
  apefw::load_settings_blob(s, b.data(), 100);
  EXPECT_EQ(s.colour_count, 16);
}

TEST(Settings, ShortBlobReplacesOnlyItsBytes) {
  EffectSettings s = fresh();
  const Blob first = numbered_blob(12, 1);
  apefw::load_settings_blob(s, first.data(), 72);
  Blob second{};
  for (auto& byte : second) byte = 0xA5;
  apefw::load_settings_blob(s, second.data(), 40);
  const Blob out = save(s);
  for (int i = 0; i < 72; ++i) EXPECT_EQ(out[i], i < 40 ? 0xA5 : first[i]) << i;
}

TEST(Settings, BlobEndingInsideAFieldReplacesItsLowBytes) {
  EffectSettings s = fresh();
  s.colour_count = 0x0102030A;  // not reachable through a load, but shows which bytes move
  Blob b = numbered_blob(0, 0);
  b[64] = 0x05;
  apefw::load_settings_blob(s, b.data(), 65);
  // Low byte from the blob, the three high bytes kept, then the clamp.
  EXPECT_EQ(s.colour_count, 16);
  s.colour_count = 0x0000000A;
  b[64] = 0x05;
  b[65] = 0x00;
  apefw::load_settings_blob(s, b.data(), 65);
  EXPECT_EQ(s.colour_count, 5);
  EXPECT_EQ(s.colours[15], 0x4F4E4D4Cu);
}

TEST(Settings, OnBeatValueAndColourTopBytesAreKeptAsStored) {
  EffectSettings s = fresh();
  Blob b = numbered_blob(2, 5);
  b[3] = 0xEE;  // a nonzero top byte on colour 0
  apefw::load_settings_blob(s, b.data(), 72);
  EXPECT_EQ(s.on_beat_change, 5);
  EXPECT_EQ(s.colours[0] >> 24, 0xEEu);
  EXPECT_EQ(save(s), b);
}

TEST(Settings, NullPointersAreHarmless) {
  EffectSettings s = fresh();
  s.colour_count = 0;
  apefw::load_settings_blob(s, nullptr, 72);  // copies nothing, still clamps
  EXPECT_EQ(s.colour_count, 1);
  EXPECT_EQ(s.colours[0], apefw::kDefaultColour);
  EXPECT_EQ(apefw::save_settings_blob(s, nullptr), 0);
}

}  // namespace
