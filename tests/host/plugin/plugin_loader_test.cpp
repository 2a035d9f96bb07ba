// The loader in-process, against the probe plug-in (the refusals are tested on the real binary).
// This test binary is the hosting process, so its tick-count hook seeds the probe.

#include "plugin/plugin_loader.hpp"

#include <gtest/gtest.h>

#include "fixed_tick.hpp"

namespace {

using apehost::PluginModule;

std::uint32_t first_draw_after(std::uint32_t seed) {
  return ((seed * 214013u + 2531011u) >> 16) & 0x7FFFu;
}

TEST(PluginLoader, KeepsNameAndDescriptionAndDrivesTheEffectThroughItsSlots) {
  const PluginModule module = PluginModule::load(PROBEFX_MODULE);
  EXPECT_EQ(module.short_name(), "Probe");
  EXPECT_EQ(module.long_description(), "Render / Probe");

  testsupport::set_fixed_tick(0x0ABCDEF1u);
  apehost::EffectInstance effect = module.create_effect();
  EXPECT_EQ(effect.describe(), "Render / Probe");

  const std::uint8_t blob[8] = {0x33, 0x22, 0x11, 0x00, 0x66, 0x55, 0x44, 0x00};
  effect.load_settings(blob, 8);
  const auto saved = effect.save_settings();
  EXPECT_EQ(saved[0], 0x33);
  EXPECT_EQ(saved[64], 1);  // the count kept its default

  std::uint8_t sound[APE_SOUND_BYTES] = {};
  sound[576] = 9;
  std::vector<std::uint32_t> frame(12 * 2, 0x00777777u), scratch(12 * 2);
  EXPECT_EQ(effect.render_frame(sound, true, frame.data(), scratch.data(), 12, 2), 0);
  EXPECT_EQ(frame[0], 0x00BCDEF1u);
  EXPECT_EQ(frame[1], 0x0Au);
  EXPECT_EQ(frame[3], (1u << 16) | 8u);
  EXPECT_EQ(frame[4], 1u);
  EXPECT_EQ(frame[5], 9u << 8);
  EXPECT_EQ(frame[7], 0x00112233u);
  EXPECT_EQ(frame[8], first_draw_after(0x0ABCDEF1u));
  EXPECT_EQ(frame[10], (12u << 12) | 2u);
  EXPECT_EQ(frame[11], 0x00777777u);
}

TEST(PluginLoader, EffectsOutliveTheirModuleObject) {
  auto effect = PluginModule::load(PROBEFX_MODULE).create_effect();
  // The module object is gone; the effect's code must still be loaded.
  EXPECT_EQ(effect.describe(), "Render / Probe");
}

}  // namespace
