// apehost preset save and --preset: a preset written from the options a command takes renders the
// same bytes as those options; a preset is refused with one line naming the file, the line and the
// reason; --preset does not mix with the options it stands for.

#include <gtest/gtest.h>

#include <filesystem>

#include "host_test_support.hpp"

namespace {

using hosttest::read_bytes;
using hosttest::run_apehost;

void write_text(const std::string& path, const std::string& text) {
  hosttest::write_bytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::string text_of(const std::string& path) {
  const auto bytes = read_bytes(path);
  return {bytes.begin(), bytes.end()};
}

class CliPreset : public ::testing::Test {
 protected:
  void SetUp() override {
#if !defined(COILFX_MODULE) || !defined(BLOBFX_MODULE)
    GTEST_SKIP() << "needs the real effects";
#else
    hosttest::write_numbered_trace(trace_, 40);
#endif
  }
  // The frames of render with these stack options, as bytes.
  std::vector<std::uint8_t> render(const std::vector<std::string>& stack, const std::string& name) {
    std::vector<std::string> args = {"render"};
    args.insert(args.end(), stack.begin(), stack.end());
    args.insert(args.end(), {"--trace", trace_, "--size", "96x64", "--ticks", "4242", "-y", "--raw",
                             dir_ / name});
    const auto run = run_apehost(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return read_bytes(dir_ / name);
  }
  hosttest::ScratchDir dir_;
  std::string trace_ = dir_ / "t.trace";
};

#if defined(COILFX_MODULE) && defined(BLOBFX_MODULE)

TEST_F(CliPreset, ASavedPresetRendersTheSameBytesAsTheOptionsItWasSavedFrom) {
  ASSERT_EQ(run_apehost({"settings", BLOBFX_MODULE, "--colours", "ff2000,20ff40,4020ff",
                         "--no-on-beat", "-o", dir_ / "blob.blob"})
                .status,
            0);
  // A short blob too: the host hands it over as it is; the preset keeps the 72 bytes it loads to.
  hosttest::write_bytes(dir_ / "short.blob", {0x10, 0x80, 0xF0, 0x00, 0x30, 0x30, 0x30, 0x00});
  const std::vector<std::vector<std::string>> stacks = {
      {BLOBFX_MODULE, COILFX_MODULE, "--settings", dir_ / "blob.blob", dir_ / "short.blob",
       "--fade", "20"},
      {COILFX_MODULE, BLOBFX_MODULE, "--settings", dir_ / "short.blob", "--keep"},
      {"coilfx", "--background", "0x203040"},
  };
  int n = 0;
  for (const auto& stack : stacks) {
    const std::string preset = dir_ / ("p" + std::to_string(++n) + ".toml");
    std::vector<std::string> save = {"preset", "save"};
    save.insert(save.end(), stack.begin(), stack.end());
    save.insert(save.end(), {"-o", preset});
    const auto saved = run_apehost(save);
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_NE(saved.out.find("wrote " + preset), std::string::npos) << saved.out;
    const std::vector<std::uint8_t> from_options = render(stack, "o.raw");
    ASSERT_EQ(from_options.size(), 40u * 96 * 64 * 4);
    EXPECT_EQ(render({"--preset", preset}, "p.raw"), from_options) << text_of(preset);
  }
  // What the files hold: the background, absolute module paths, names kept as names, a blob only
  // where one was given.
  const std::string first = text_of(dir_ / "p1.toml");
  EXPECT_NE(first.find("[background]\nmode = \"fade\"\namount = 20\n"), std::string::npos) << first;
  EXPECT_NE(first.find("plugin = \"" +
                       std::filesystem::path(BLOBFX_MODULE).lexically_normal().string() + "\""),
            std::string::npos)
      << first;
  const std::string second = text_of(dir_ / "p2.toml");
  EXPECT_NE(second.find("mode = \"keep\"\n"), std::string::npos) << second;
  const auto settings_at = second.find("settings = ");
  EXPECT_LT(settings_at, second.find(std::filesystem::path(BLOBFX_MODULE).filename().string()))
      << "one blob, the first effect's\n"
      << second;
  EXPECT_EQ(second.find("settings = ", settings_at + 1), std::string::npos) << second;
  const std::string third = text_of(dir_ / "p3.toml");
  EXPECT_NE(third.find("colour = \"0x203040\""), std::string::npos) << third;
  EXPECT_NE(third.find("plugin = \"coilfx\"\n"), std::string::npos) << third;
  EXPECT_EQ(third.find("settings"), std::string::npos) << third;
}

#endif

TEST(CliPresetRefusals, MalformedPresetsGetOneLineNamingTheFileTheLineAndTheReason) {
  hosttest::ScratchDir dir;
  hosttest::write_numbered_trace(dir / "t.trace", 2);
  const std::string p = dir / "bad.toml";
  const std::pair<std::string, std::string> cases[] = {
      {"[[effect]]\nplugin = \"probe\n", p + ":2: "},
      {"version = 3\n[[effect]]\nplugin = \"coilfx\"\n", p + ":1: version 3: this reads version 1"},
      {"[[effect]]\nplugin = \"coilfx\"\nsetings = \"00\"\n",
       p + ":3: unknown key 'setings' in [[effect]] 1"},
      {"[[effect]]\nplugin = \"coilfx\"\nsettings = \"\"\"\n" + std::string(143, 'f') + "x\"\"\"\n",
       p + ":3: settings: 'x' is not a hex digit in [[effect]] 1"},
      {"[background]\nmode = \"fade\"\namount = 0\n[[effect]]\nplugin = \"coilfx\"\n",
       p + ":3: background amount is not a whole number 1..255"},
      {"# nothing\n", p + ": no [[effect]]: a preset names at least one plug-in"},
  };
  for (const auto& [text, expected] : cases) {
    write_text(p, text);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"render", "--preset", p, "--trace", dir / "t.trace", "--raw",
                                   dir / "out.raw"},
          std::vector<std::string>{"demo", "--preset", p, "--video", "-o", dir / "demo.mp4"},
          std::vector<std::string>{"play", "--preset", p, "--frames", "1"}}) {
      hosttest::RunSetup setup;
      setup.environment = {{"SDL_VIDEODRIVER", "dummy"}, {"SDL_AUDIODRIVER", "dummy"}};
      const auto run = run_apehost(args, setup);
      EXPECT_EQ(run.status, 2) << args[0] << "\n" << text << run.err;
      EXPECT_EQ(run.err.rfind("apehost: " + expected, 0), 0u) << args[0] << "\n" << run.err;
      EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    }
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "out.raw"));
  EXPECT_FALSE(std::filesystem::exists(dir / "demo.mp4"));
}

TEST(CliPresetRefusals, APresetDoesNotMixWithTheOptionsItStandsFor) {
  hosttest::ScratchDir dir;
  hosttest::write_numbered_trace(dir / "t.trace", 2);
  const std::string p = dir / "p.toml";
  write_text(p, std::string("[[effect]]\nplugin = \"") + PROBEFX_MODULE + "\"\n");
  hosttest::write_bytes(dir / "s.blob", {1, 2, 3, 4});
  const std::vector<std::string> render = {"render", "--preset",     p, "--trace", dir / "t.trace",
                                           "--raw",  dir / "out.raw"};
  for (const auto& [extra, named] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{PROBEFX_MODULE}, "PLUGIN arguments"},
           {{"--settings", dir / "s.blob"}, "--settings"},
           {{"--keep"}, "--keep"},
           {{"--fade", "3"}, "--fade"},
           {{"--background", "0x102030"}, "--background"}}) {
    std::vector<std::string> args = render;
    args.insert(args.end(), extra.begin(), extra.end());
    const auto run = run_apehost(args);
    EXPECT_EQ(run.status, 2) << named;
    EXPECT_EQ(run.err, "apehost: --preset: not together with " + named +
                           ": the preset holds the plug-ins, their settings and the background\n");
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "out.raw"));
  // --ticks goes with a preset; and a render needs one or the other.
  std::vector<std::string> with_ticks = render;
  with_ticks.insert(with_ticks.end(), {"--ticks", "5"});
  EXPECT_EQ(run_apehost(with_ticks).status, 0);
  const auto none = run_apehost({"render", "--trace", dir / "t.trace", "--raw", dir / "x.raw"});
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.err, "apehost: render: no plug-in: give PLUGIN ... or --preset FILE\n");
  const auto missing = run_apehost({"preset", "save", PROBEFX_MODULE});
  EXPECT_EQ(missing.status, 2) << "-o is required";
}

}  // namespace
