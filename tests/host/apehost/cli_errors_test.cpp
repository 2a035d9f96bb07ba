// Bad input of every kind: exit status 2 and one line on standard error naming the file or option
// and the reason, never a crash, and no output file left behind by a refused render.

#include <gtest/gtest.h>

#include <filesystem>

#include "host_test_support.hpp"

namespace {

using hosttest::run_apehost;

// Runs apehost expecting it to refuse: status 2, one line on stderr holding every one of parts.
void expect_refused(const std::vector<std::string>& args, const std::vector<std::string>& parts) {
  const auto run = run_apehost(args);
  std::string command;
  for (const auto& a : args) command += " " + a;
  EXPECT_EQ(run.status, 2) << command << "\n" << run.err;
  ASSERT_FALSE(run.err.empty()) << command;
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << command << "\n" << run.err;
  EXPECT_EQ(run.err.rfind("apehost: ", 0), 0u) << run.err;
  for (const auto& part : parts)
    EXPECT_NE(run.err.find(part), std::string::npos) << command << "\n" << run.err;
}

class CliErrors : public ::testing::Test {
 protected:
  void SetUp() override {
    hosttest::write_numbered_trace(trace_, 2);
    hosttest::write_bytes(text_, {'n', 'o', 't', ' ', 'E', 'L', 'F', '\n'});
  }
  std::vector<std::string> render(const std::string& plugin, std::vector<std::string> extra) {
    std::vector<std::string> args = {"render", plugin};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }
  hosttest::ScratchDir dir_;
  std::string trace_ = dir_ / "ok.trace";
  std::string text_ = dir_ / "notes.txt";
  std::string out_ = dir_ / "out.raw";
};

TEST_F(CliErrors, PluginsThatAreNotPlugins) {
  const std::string missing = dir_ / "missing.so";
  for (const char* command : {"info", "settings", "render"}) {
    SCOPED_TRACE(command);
    std::vector<std::string> tail;
    if (std::string(command) == "settings") tail = {"-o", dir_ / "s.blob"};
    if (std::string(command) == "render")
      tail = {"--trace", trace_, "--size", "8x8", "--raw", out_};
    auto with = [&](const std::string& plugin) {
      std::vector<std::string> args = {command, plugin};
      args.insert(args.end(), tail.begin(), tail.end());
      return args;
    };
    expect_refused(with(missing), {missing + ": no such file"});
    expect_refused(with(text_), {text_ + ": not a loadable shared library"});
    expect_refused(with(NOENTRYFX_MODULE),
                   {NOENTRYFX_MODULE ": not a plug-in (no _AVS_APE_RetrFunc"});
    expect_refused(with(NULLFX_MODULE),
                   {NULLFX_MODULE ": the plug-in's creator returned no effect"});
    expect_refused(with("nosuchfx"), {"nosuchfx: no such plug-in"});
    expect_refused(with(dir_ / "."), {dir_ / ".: not a regular file"});
  }
  EXPECT_FALSE(std::filesystem::exists(out_));
}

TEST_F(CliErrors, BadTraces) {
  std::vector<std::uint8_t> good = hosttest::read_bytes(trace_);
  auto variant = [&](const std::string& name, auto change) {
    auto bytes = good;
    change(bytes);
    hosttest::write_bytes(dir_ / name, bytes);
    return dir_ / name;
  };
  const std::string magic = variant("magic.trace", [](auto& b) { b[0] = 'X'; });
  const std::string version = variant("version.trace", [](auto& b) { b[8] = 3; });
  const std::string longer = variant("long.trace", [](auto& b) { b.push_back(0); });
  const std::string shorter = variant("short.trace", [](auto& b) { b.pop_back(); });
  const std::string missing = dir_ / "missing.trace";
  for (const auto& [trace, reason] : std::vector<std::pair<std::string, std::string>>{
           {magic, "does not start with APETRACE"},
           {version, "version 3"},
           {longer, "truncated sound trace"},
           {shorter, "truncated sound trace"},
           {missing, "cannot open"},
           {text_, "shorter than the 16-byte header"}}) {
    expect_refused(render(PROBEFX_MODULE, {"--trace", trace, "--size", "8x8", "--raw", out_}),
                   {trace + ": ", reason});
  }
  // Refused before anything was rendered or created.
  EXPECT_FALSE(std::filesystem::exists(out_));
}

TEST_F(CliErrors, BadSizesPatternsAndColours) {
  for (const char* size : {"320", "0x240", "320x0", "99999x10", "axb", "320x240x1"}) {
    expect_refused(render(PROBEFX_MODULE, {"--trace", trace_, "--size", size, "--raw", out_}),
                   {std::string("--size: '") + size + "'"});
  }
  for (const char* pattern : {"frames.png", "%d/%d.png", "%s.png", "f%x.png"}) {
    expect_refused(
        render(PROBEFX_MODULE, {"--trace", trace_, "--size", "8x8", "--png", dir_ / pattern}),
        {dir_ / pattern, "bad frame file pattern"});
  }
  expect_refused(render(PROBEFX_MODULE, {"--trace", trace_, "--size", "8x8", "--background",
                                         "0x12345", "--raw", out_}),
                 {"--background: '0x12345'"});
  expect_refused({"settings", PROBEFX_MODULE, "--colours", "ff0000,blue", "-o", dir_ / "s.blob"},
                 {"--colours: 'blue'"});
  std::string seventeen = "000001";
  for (int i = 0; i < 16; ++i) seventeen += ",000001";
  expect_refused({"settings", PROBEFX_MODULE, "--colours", seventeen, "-o", dir_ / "s.blob"},
                 {"--colours: 17 colours"});
  EXPECT_FALSE(std::filesystem::exists(out_));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "s.blob"));
}

TEST_F(CliErrors, BadBlobsAndOutputs) {
  hosttest::write_bytes(dir_ / "big.blob", std::vector<std::uint8_t>(73, 1));
  expect_refused({"settings", PROBEFX_MODULE, "--from", dir_ / "big.blob", "-o", dir_ / "s.blob"},
                 {dir_ / "big.blob", "73 bytes"});
  expect_refused({"settings", PROBEFX_MODULE, "--from", dir_ / "none.blob", "-o", dir_ / "s.blob"},
                 {dir_ / "none.blob", "cannot open"});
  expect_refused(render(PROBEFX_MODULE, {"--trace", trace_, "--size", "8x8", "--settings",
                                         dir_ / "none.blob", "--raw", out_}),
                 {dir_ / "none.blob", "cannot open"});
  expect_refused({"settings", PROBEFX_MODULE, "-o", text_ + "/s.blob"},
                 {text_ + "/s.blob", "cannot create"});
  expect_refused(
      render(PROBEFX_MODULE, {"--trace", trace_, "--size", "8x8", "--raw", text_ + "/o.raw"}),
      {text_ + "/o.raw", "cannot create"});
}

TEST_F(CliErrors, CommandLineMistakes) {
  expect_refused({}, {"subcommand"});
  expect_refused({"paint"}, {"paint"});
  expect_refused(render(PROBEFX_MODULE, {"--trace", trace_, "--size", "8x8"}), {"no output"});
  expect_refused(render(PROBEFX_MODULE, {"--trace", trace_, "--size", "8x8", "--raw", out_, "--png",
                                         dir_ / "%d.png"}),
                 {"--raw", "--png"});
  expect_refused(render(PROBEFX_MODULE, {"--trace", trace_, "--size", "8x8", "--keep",
                                         "--background", "000000", "--raw", out_}),
                 {"--keep", "--background"});
  expect_refused(render(PROBEFX_MODULE, {"--size", "8x8", "--raw", out_}), {"--trace"});
  expect_refused(
      render(PROBEFX_MODULE, {"--trace", trace_, "--size", "8x8", "--ticks", "-1", "--raw", out_}),
      {"--ticks"});
  expect_refused({"trace-synth", "-o", dir_ / "t.trace", "--frames", "0"}, {"--frames"});
  EXPECT_FALSE(std::filesystem::exists(out_));
}

TEST(CliHelp, EveryCommandHasHelpNamingThePluginArgument) {
  for (const char* command : {"info", "settings", "render"}) {
    const auto run = run_apehost({command, "--help"});
    EXPECT_EQ(run.status, 0) << command;
    EXPECT_NE(run.out.find("PLUGIN"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("coilfx or blobfx"), std::string::npos) << run.out;
  }
}

}  // namespace
