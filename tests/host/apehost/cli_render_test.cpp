// apehost render against the probe (which reports in its pixels what it was handed) and against the
// real effects: argument passing, background and --keep, determinism, raw against PNG.

#include <gtest/gtest.h>

#include "host_test_support.hpp"

namespace {

using hosttest::raw_words;
using hosttest::read_bytes;
using hosttest::run_apehost;

constexpr int kW = 16;
constexpr int kH = 3;
const std::string kSize = "16x3";

std::uint32_t first_draw_after(std::uint32_t seed) {
  return ((seed * 214013u + 2531011u) >> 16) & 0x7FFFu;
}

// Frame f of a raw stream of kW x kH frames.
std::vector<std::uint32_t> raw_frame(const std::vector<std::uint32_t>& words, int f) {
  const auto begin = words.begin() + static_cast<std::ptrdiff_t>(f) * kW * kH;
  return {begin, begin + kW * kH};
}

class CliRender : public ::testing::Test {
 protected:
  void SetUp() override { hosttest::write_numbered_trace(trace_, 6); }
  hosttest::ScratchDir dir_;
  std::string trace_ = dir_ / "numbered.trace";
};

TEST_F(CliRender, HandsEachRecordTheSoundBeatAndSizeAndSeedsFromTicks) {
  const std::string raw = dir_ / "out.raw";
  const auto run = run_apehost({"render", PROBEFX_MODULE, "--trace", trace_, "--size", kSize,
                                "--ticks", "3000000123", "--raw", raw});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("rendered 6 frames of 16x3"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("tick count 3000000123"), std::string::npos) << run.out;
  const auto words = raw_words(read_bytes(raw));
  ASSERT_EQ(words.size(), 6u * kW * kH);
  int beats = 0;
  for (int f = 0; f < 6; ++f) {
    const auto frame = raw_frame(words, f);
    const apehost::TraceFrame record = hosttest::numbered_frame(f);
    beats += record.beat;
    EXPECT_EQ(frame[0], 3000000123u & 0xFFFFFFu) << f;
    EXPECT_EQ(frame[1], 3000000123u >> 24) << f;
    EXPECT_EQ(frame[2], static_cast<std::uint32_t>(f));
    EXPECT_EQ(frame[3], 0u) << "no --settings, no load_settings call";
    EXPECT_EQ(frame[4], record.beat ? 1u : 0u) << f;  // beat bytes of 0x80 etc. pass as 1
    EXPECT_EQ(frame[5], std::uint32_t{record.sound[0]} << 16 |
                            std::uint32_t{record.sound[576]} << 8 | record.sound[1152])
        << f;
    EXPECT_EQ(frame[6], std::uint32_t{record.sound[1728]} << 16 |
                            std::uint32_t{record.sound[2303]} << 8 |
                            static_cast<std::uint32_t>(beats))
        << f;
    EXPECT_EQ(frame[8], first_draw_after(3000000123u));
    EXPECT_EQ(frame[10], (16u << 12) | 3u);
  }
}

TEST_F(CliRender, WithoutTicksTheRealClockSeedsAndIsReported) {
  const std::string raw = dir_ / "out.raw";
  const auto run = run_apehost({"render", PROBEFX_MODULE, "--trace", trace_, "--size", kSize,
                                "--frames", "1", "--raw", raw});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto words = raw_words(read_bytes(raw));
  ASSERT_EQ(words.size(), std::size_t{kW * kH});
  const std::uint32_t seed = words[1] << 24 | words[0];
  EXPECT_NE(run.out.find("tick count " + std::to_string(seed) + ")"), std::string::npos) << run.out;
  EXPECT_EQ(words[8], first_draw_after(seed));
}

TEST_F(CliRender, LoadsTheSettingsBlobOnceWithItsLength) {
  hosttest::write_bytes(dir_ / "short.blob", {0x03, 0x02, 0x01, 0x00, 0xEE});
  const std::string raw = dir_ / "out.raw";
  auto run = run_apehost({"render", PROBEFX_MODULE, "--trace", trace_, "--size", kSize, "--ticks",
                          "1", "--settings", dir_ / "short.blob", "--raw", raw});
  ASSERT_EQ(run.status, 0) << run.err;
  auto words = raw_words(read_bytes(raw));
  for (int f = 0; f < 6; ++f) {
    EXPECT_EQ(raw_frame(words, f)[3], (1u << 16) | 5u) << f;
    EXPECT_EQ(raw_frame(words, f)[7], 0x00010203u) << f;
  }

  // Longer than a blob: handed over all the same (the effect ignores it), with a note.
  hosttest::write_bytes(dir_ / "long.blob", std::vector<std::uint8_t>(73, 0x44));
  run = run_apehost({"render", PROBEFX_MODULE, "--trace", trace_, "--size", kSize, "--ticks", "1",
                     "--settings", dir_ / "long.blob", "--frames", "1", "--raw", raw, "-y"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("ignore a settings blob longer than 72"), std::string::npos) << run.err;
  words = raw_words(read_bytes(raw));
  EXPECT_EQ(words[3], (1u << 16) | 73u);
  EXPECT_EQ(words[7], 0x00007FFFu);
}

TEST_F(CliRender, BackgroundFillsEveryFrameKeepLeavesThePreviousOne) {
  hosttest::write_bytes(dir_ / "s.blob", {0x56, 0x34, 0x12, 0x00});
  const std::string cleared = dir_ / "cleared.raw";
  const std::string kept = dir_ / "kept.raw";
  ASSERT_EQ(
      run_apehost({"render", PROBEFX_MODULE, "--trace", trace_, "--size", kSize, "--ticks", "1",
                   "--settings", dir_ / "s.blob", "--background", "0x0a0b0c", "--raw", cleared})
          .status,
      0);
  ASSERT_EQ(run_apehost({"render", PROBEFX_MODULE, "--trace", trace_, "--size", kSize, "--ticks",
                         "1", "--settings", dir_ / "s.blob", "--keep", "--raw", kept})
                .status,
            0);
  const auto c = raw_words(read_bytes(cleared));
  const auto k = raw_words(read_bytes(kept));
  for (int f = 0; f < 6; ++f) {
    const auto cf = raw_frame(c, f);
    const auto kf = raw_frame(k, f);
    // Pixel 11 reports what the frame held before the effect drew.
    EXPECT_EQ(cf[11], 0x000A0B0Cu) << f;
    EXPECT_EQ(kf[11], 0u) << f;  // the first frame starts black, and nobody draws there later
    for (int column = 1; column < kW; ++column) {
      const std::uint32_t marker = 0x00123456u;
      const bool drawn_now = column == 1 + f;
      const bool drawn_before = column <= 1 + f;
      EXPECT_EQ(cf[kW + column], drawn_now ? marker : 0x000A0B0Cu) << f << "," << column;
      EXPECT_EQ(kf[kW + column], drawn_before ? marker : 0u) << f << "," << column;
    }
    EXPECT_EQ(cf[2 * kW + 5], 0x000A0B0Cu);
  }
}

TEST_F(CliRender, FramesLimitsTheCountAndZeroRecordsRenderNothing) {
  const std::string raw = dir_ / "out.raw";
  ASSERT_EQ(run_apehost({"render", PROBEFX_MODULE, "--trace", trace_, "--size", kSize, "--ticks",
                         "1", "--frames", "4", "--raw", raw})
                .status,
            0);
  EXPECT_EQ(read_bytes(raw).size(), 4u * kW * kH * 4);
  ASSERT_EQ(run_apehost({"render", PROBEFX_MODULE, "--trace", trace_, "--size", kSize, "--ticks",
                         "1", "--frames", "60", "--raw", raw, "-y"})
                .status,
            0);
  EXPECT_EQ(read_bytes(raw).size(), 6u * kW * kH * 4);
  hosttest::write_numbered_trace(dir_ / "empty.trace", 0);
  const auto run = run_apehost({"render", PROBEFX_MODULE, "--trace", dir_ / "empty.trace", "--size",
                                kSize, "--raw", raw, "-y"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(read_bytes(raw).empty());
}

TEST_F(CliRender, RawToStandardOutputKeepsTheStatusOffIt) {
  const auto run = run_apehost(
      {"render", PROBEFX_MODULE, "--trace", trace_, "--size", kSize, "--ticks", "5", "--raw", "-"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.size(), 6u * kW * kH * 4);
  EXPECT_NE(run.err.find("rendered 6 frames"), std::string::npos) << run.err;
}

// Every effect under test: the probe, and the real ones once they are built.
std::vector<std::string> effect_modules() {
  return {
      PROBEFX_MODULE,
#ifdef COILFX_MODULE
      COILFX_MODULE,
#endif
#ifdef BLOBFX_MODULE
      BLOBFX_MODULE,
#endif
  };
}

TEST(CliRenderEffects, TwoRunsWriteIdenticalBytesAndPngsMatchRaw) {
  hosttest::ScratchDir dir;
  const std::string trace = dir / "synth.trace";
  ASSERT_EQ(run_apehost({"trace-synth", "-o", trace, "--frames", "40", "--seed", "3"}).status, 0);
  hosttest::write_bytes(dir / "s.blob",
                        {0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00});
  const std::vector<std::string> common = {"--trace",      trace,   "--size",     "64x48",
                                           "--ticks",      "777",   "--settings", dir / "s.blob",
                                           "--background", "102030"};
  for (const std::string& module : effect_modules()) {
    SCOPED_TRACE(module);
    std::vector<std::string> args = {"render", module, "-y"};  // the same files for every module
    args.insert(args.end(), common.begin(), common.end());
    auto with = [&](std::vector<std::string> extra) {
      auto all = args;
      all.insert(all.end(), extra.begin(), extra.end());
      const auto run = run_apehost(all);
      EXPECT_EQ(run.status, 0) << run.err;
    };
    with({"--raw", dir / "a.raw"});
    with({"--raw", dir / "b.raw"});
    with({"--png", dir / "png/f%04d.png"});
    const auto a = read_bytes(dir / "a.raw");
    ASSERT_EQ(a.size(), 40u * 64 * 48 * 4);
    EXPECT_TRUE(a == read_bytes(dir / "b.raw"));

    const auto words = raw_words(a);
    bool drew_something = false;
    for (int f : {0, 17, 39}) {
      char name[32];
      std::snprintf(name, sizeof name, "png/f%04d.png", f);
      const hosttest::DecodedPng png = hosttest::decode_png(dir / name);
      ASSERT_EQ(png.width, 64);
      ASSERT_EQ(png.height, 48);
      const std::vector<std::uint32_t> frame(words.begin() + f * 64 * 48,
                                             words.begin() + (f + 1) * 64 * 48);
      EXPECT_TRUE(png.pixels == frame) << "frame " << f;
      for (std::uint32_t p : frame) drew_something = drew_something || p != 0x102030u;
    }
    EXPECT_TRUE(drew_something);
  }
}

TEST(CliRenderEffects, ATickCountChangesWhatTheRealEffectsDraw) {
#if !defined(COILFX_MODULE) && !defined(BLOBFX_MODULE)
  GTEST_SKIP() << "no effect modules in this build";
#endif
  hosttest::ScratchDir dir;
  const std::string trace = dir / "synth.trace";
  ASSERT_EQ(run_apehost({"trace-synth", "-o", trace, "--frames", "40"}).status, 0);
  for (const std::string& module : effect_modules()) {
    if (module == PROBEFX_MODULE) continue;
    SCOPED_TRACE(module);
    for (const char* ticks : {"1", "2"}) {
      ASSERT_EQ(run_apehost({"render", module, "--trace", trace, "--size", "64x48", "--ticks",
                             ticks, "--raw", dir / (std::string(ticks) + ".raw"), "-y"})
                    .status,
                0);
    }
    EXPECT_FALSE(read_bytes(dir / "1.raw") == read_bytes(dir / "2.raw"));
  }
}

}  // namespace
