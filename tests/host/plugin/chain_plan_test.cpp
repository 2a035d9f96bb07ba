// Chains made from plain values: modules loaded and settings files read in order before any effect
// exists, notes and refusals about the file concerned, the tick count fixed or lent, and the demo's
// colours.

#include "plugin/chain_plan.hpp"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <stdexcept>

#include "base/file_io.hpp"
#include "base/host_error.hpp"
#include "plugin/demo_chain.hpp"
#include "plugin/settings_blob.hpp"
#include "plugin/tick_count.hpp"

namespace {

using apehost::ChainPlan;
using apehost::HostError;

constexpr int kW = 16;
constexpr int kH = 3;

std::string write_blob(const apehost::TemporaryDirectory& dir, const std::string& name,
                       std::size_t length, std::uint32_t first_colour) {
  std::vector<std::uint8_t> bytes(length, 0);
  for (int b = 0; b < 4 && static_cast<std::size_t>(b) < length; ++b) {
    bytes[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(first_colour >> (8 * b));
  }
  if (length > 64) bytes[64] = 1;  // one colour
  const std::string path = dir.path(name);
  apehost::write_file_bytes(path, bytes.data(), bytes.size());
  return path;
}

// The probe's report of the last load: calls << 16 | length.
std::uint32_t load_report(apehost::EffectChain& chain) {
  apehost::FrameBuffer frame;
  frame.resize(kW, kH, 0);
  const std::array<std::uint8_t, APE_SOUND_BYTES> silence{};
  chain.render(silence.data(), false, apehost::Background{}, frame);
  return frame.pixels()[3];
}

TEST(ChainPlan, ModulesAndSettingsFilesInOrderTheIthBlobToTheIthEffect) {
  apehost::TemporaryDirectory dir;
  const std::string a = write_blob(dir, "a.blob", 72, 0x00AA0001);
  std::vector<std::string> notes;
  const ChainPlan plan =
      apehost::plan_chain({PROBEFX_MODULE, PROBEFX_MODULE}, {a}, std::nullopt,
                          [&notes](const std::string& note) { notes.push_back(note); });
  ASSERT_EQ(plan.modules.size(), 2u);
  ASSERT_EQ(plan.blobs.size(), 1u);
  ASSERT_TRUE(plan.blobs[0].has_value());
  EXPECT_EQ(plan.blobs[0]->size(), 72u);
  EXPECT_FALSE(plan.ticks.has_value());
  EXPECT_TRUE(notes.empty());
  apehost::EffectChain chain = apehost::create_chain(plan);
  ASSERT_EQ(chain.size(), 2u);
  EXPECT_EQ(apehost::blob_colour(chain.settings(0), 0), 0x00AA0001u);
  EXPECT_NE(apehost::blob_colour(chain.settings(1), 0), 0x00AA0001u) << "the second keeps defaults";
}

TEST(ChainPlan, ALongSettingsFileIsNotedAndHandedOverWhole) {
  apehost::TemporaryDirectory dir;
  const std::string long_blob = write_blob(dir, "long.blob", 80, 0x00123456);
  std::vector<std::string> notes;
  const ChainPlan plan =
      apehost::plan_chain({PROBEFX_MODULE}, {long_blob}, std::nullopt,
                          [&notes](const std::string& note) { notes.push_back(note); });
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0], long_blob + " has 80 bytes; effects ignore a settings blob longer than 72");
  apehost::EffectChain chain = apehost::create_chain(plan);
  EXPECT_EQ(load_report(chain), (1u << 16) | 80u) << "one load, the whole length";
}

TEST(ChainPlan, RefusalsNameTheModuleOrTheFile) {
  apehost::TemporaryDirectory dir;
  const std::string missing = dir.path("missing.blob");
  try {
    apehost::plan_chain({PROBEFX_MODULE}, {missing}, std::nullopt, nullptr);
    ADD_FAILURE() << "a missing settings file was accepted";
  } catch (const HostError& e) {
    EXPECT_EQ(e.exit_status(), apehost::kExitBadInput);
    EXPECT_EQ(e.subject(), missing);
  }
  try {
    apehost::plan_chain({dir.path("nosuch.so")}, {}, std::nullopt, nullptr);
    ADD_FAILURE() << "a missing module was accepted";
  } catch (const HostError& e) {
    EXPECT_EQ(std::string(e.what()), dir.path("nosuch.so") + ": no such file");
  }
  // Where the extra file came from is the caller's to say.
  const std::string a = write_blob(dir, "a.blob", 72, 1);
  EXPECT_THROW(apehost::plan_chain({PROBEFX_MODULE}, {a, a}, std::nullopt, nullptr),
               std::invalid_argument);
}

TEST(ChainPlan, CreatingFixesTheTickCountOrGoesBackToTheClock) {
  ChainPlan plan = apehost::plan_chain({PROBEFX_MODULE}, {}, 1234u, nullptr);
  ASSERT_TRUE(plan.ticks.has_value());
  EXPECT_EQ(*plan.ticks, 1234u);
  apehost::create_chain(plan);
  EXPECT_EQ(apehost::lend_tick_count(), 1234u);
  std::uint32_t lent = 0;
  ASSERT_TRUE(apehost::last_lent_tick_count(lent));
  EXPECT_EQ(lent, 1234u);

  plan.ticks.reset();
  apehost::create_chain(plan);
  const auto ms = [] {
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
  };
  const std::uint32_t before = ms();
  const std::uint32_t ticks = apehost::lend_tick_count();
  const std::uint32_t after = ms();
  EXPECT_LE(ticks - before, after - before) << "the monotonic clock's milliseconds";
}

TEST(DemoChain, ItsColoursAndTheOnBeatChangeWhereNoBlobWasGiven) {
  EXPECT_EQ(apehost::demo_plugins(), (std::vector<std::string>{"blobfx", "coilfx"}));
  apehost::TemporaryDirectory dir;
  const std::string given = write_blob(dir, "given.blob", 72, 0x00ABCDEF);
  const ChainPlan plan =
      apehost::plan_chain({PROBEFX_MODULE, PROBEFX_MODULE}, {given}, std::nullopt, nullptr);
  apehost::EffectChain chain = apehost::create_demo_chain(plan);
  const apehost::SettingsBlob first = chain.settings(0);
  const apehost::SettingsBlob second = chain.settings(1);
  // A blob from the command line wins over the demo's colours; the on-beat change is on for all.
  EXPECT_EQ(apehost::blob_colour(first, 0), 0x00ABCDEFu);
  EXPECT_EQ(apehost::blob_colour_count(first), 1);
  EXPECT_EQ(apehost::blob_on_beat(first), 1);
  // The second place: the coil's cool colours.
  EXPECT_EQ(apehost::blob_colour(second, 0), 0x0020C0FFu);
  EXPECT_EQ(apehost::blob_colour(second, 3), 0x0040A0FFu);
  EXPECT_EQ(apehost::blob_colour_count(second), 4);
  EXPECT_EQ(apehost::blob_on_beat(second), 1);
}

}  // namespace
