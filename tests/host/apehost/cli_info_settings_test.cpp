// apehost info and apehost settings, run as a user runs them.

#include <gtest/gtest.h>

#include "host_test_support.hpp"

namespace {

using hosttest::read_bytes;
using hosttest::run_apehost;

const std::string kDefaultHex =
    "ff7f0000 00000000 00000000 00000000 00000000 00000000 00000000 00000000 00000000 00000000 "
    "00000000 00000000 00000000 00000000 00000000 00000000 01000000 00000000";

std::uint32_t word(const std::vector<std::uint8_t>& blob, std::size_t offset) {
  return std::uint32_t{blob[offset]} | std::uint32_t{blob[offset + 1]} << 8 |
         std::uint32_t{blob[offset + 2]} << 16 | std::uint32_t{blob[offset + 3]} << 24;
}

TEST(CliInfo, ShowsNamesAndTheDefaultBlob) {
  const auto run = run_apehost({"info", PROBEFX_MODULE});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("name:        Probe\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("description: Render / Probe\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("settings:    " + kDefaultHex + "\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("colours cycled: 007fff\n"), std::string::npos) << run.out;
}

struct RealEffect {
  const char* module;
  const char* name;
  const char* short_name;
  const char* description;
};

const std::vector<RealEffect>& real_effects() {
  static const std::vector<RealEffect> effects = {
#ifdef COILFX_MODULE
      {COILFX_MODULE, "coilfx", "Coilform 3D", "Render / Coilform 3D"},
#endif
#ifdef BLOBFX_MODULE
      {BLOBFX_MODULE, "blobfx", "Blobform 3D", "Render / Blobform 3D"},
#endif
  };
  return effects;
}

TEST(CliInfo, RealEffectsByPathAndByName) {
  if (real_effects().empty()) GTEST_SKIP() << "no effect modules in this build";
  for (const RealEffect& effect : real_effects()) {
    for (const char* argument : {effect.module, effect.name}) {
      const auto run = run_apehost({"info", argument});
      ASSERT_EQ(run.status, 0) << argument << ": " << run.err;
      EXPECT_NE(run.out.find("name:        " + std::string(effect.short_name) + "\n"),
                std::string::npos)
          << run.out;
      EXPECT_NE(run.out.find("description: " + std::string(effect.description) + "\n"),
                std::string::npos)
          << run.out;
      EXPECT_NE(run.out.find("settings:    " + kDefaultHex + "\n"), std::string::npos) << run.out;
      // The object's describe agrees with describe mode, so info prints no extra line.
      EXPECT_EQ(run.out.find("describe():"), std::string::npos) << run.out;
    }
  }
}

TEST(CliSettings, WritesColoursCountAndFlagThroughTheEffect) {
  hosttest::ScratchDir dir;
  const std::string out = dir / "s.blob";
  const auto run = run_apehost(
      {"settings", PROBEFX_MODULE, "--colours", "ff0000,00ff80,123456", "--on-beat", "-o", out});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto blob = read_bytes(out);
  ASSERT_EQ(blob.size(), 72u);
  EXPECT_EQ(word(blob, 0), 0x00FF0000u);
  EXPECT_EQ(word(blob, 4), 0x0000FF80u);
  EXPECT_EQ(word(blob, 8), 0x00123456u);
  EXPECT_EQ(word(blob, 12), 0u);
  EXPECT_EQ(word(blob, 64), 3u);  // the count follows the colours given
  EXPECT_EQ(word(blob, 68), 1u);
  EXPECT_NE(run.out.find("colours cycled: ff0000 00ff80 123456\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("on-beat colour change: on\n"), std::string::npos) << run.out;
}

TEST(CliSettings, ThePluginClampsTheCount) {
  hosttest::ScratchDir dir;
  for (const auto& [given, stored] : std::vector<std::pair<std::string, std::uint32_t>>{
           {"40", 16}, {"0", 1}, {"-5", 1}, {"7", 7}}) {
    const auto run =
        run_apehost({"settings", PROBEFX_MODULE, "--count=" + given, "-o", dir / "s.blob", "-y"});
    ASSERT_EQ(run.status, 0) << given << ": " << run.err;
    EXPECT_EQ(word(read_bytes(dir / "s.blob"), 64), stored) << given;
    EXPECT_EQ(run.out.find("clamped") != std::string::npos, std::to_string(stored) != given)
        << run.out;
  }
}

TEST(CliSettings, StartsFromAnEarlierBlobAndKeepsWhatIsNotChanged) {
  hosttest::ScratchDir dir;
  const std::string first = dir / "a.blob";
  const std::string second = dir / "b.blob";
  ASSERT_EQ(run_apehost({"settings", PROBEFX_MODULE, "--colours", "010203,040506,070809",
                         "--on-beat", "-o", first})
                .status,
            0);
  // A new first colour and a count of 2: colour 2 stays stored beyond the count, the flag stays on.
  const auto run = run_apehost({"settings", PROBEFX_MODULE, "--from", first, "--colours", "aabbcc",
                                "--count", "2", "-o", second});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto blob = read_bytes(second);
  EXPECT_EQ(word(blob, 0), 0x00AABBCCu);
  EXPECT_EQ(word(blob, 4), 0x00040506u);
  EXPECT_EQ(word(blob, 8), 0x00070809u);
  EXPECT_EQ(word(blob, 64), 2u);
  EXPECT_EQ(word(blob, 68), 1u);
  EXPECT_NE(run.out.find("kept, not cycled: 2=070809\n"), std::string::npos) << run.out;

  ASSERT_EQ(run_apehost({"settings", PROBEFX_MODULE, "--from", second, "--no-on-beat", "-o", first,
                         "--overwrite"})
                .status,
            0);
  EXPECT_EQ(word(read_bytes(first), 68), 0u);
  EXPECT_EQ(word(read_bytes(first), 64), 2u);
}

TEST(CliSettings, RealEffectsWriteTheirDefaultsWithoutOptions) {
  if (real_effects().empty()) GTEST_SKIP() << "no effect modules in this build";
  hosttest::ScratchDir dir;
  for (const RealEffect& effect : real_effects()) {
    const auto run =
        run_apehost({"settings", effect.module, "--count", "99", "-o", dir / "s.blob", "-y"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto blob = read_bytes(dir / "s.blob");
    EXPECT_EQ(word(blob, 0), 0x00007FFFu);
    EXPECT_EQ(word(blob, 64), 16u);
  }
}

}  // namespace
