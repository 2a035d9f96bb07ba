// apehost plugins, plug-ins found by name through the environment, and apehost --version, run as a
// user runs them.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "host_test_support.hpp"

namespace {

namespace fs = std::filesystem;
using hosttest::run_apehost;
using hosttest::RunSetup;

void copy_module(const std::string& module, const fs::path& to) {
  fs::create_directories(to.parent_path());
  fs::copy_file(module, to, fs::copy_options::overwrite_existing);
}

void write_junk(const fs::path& to) {
  fs::create_directories(to.parent_path());
  std::ofstream(to) << "this is not a shared library\n";
}

// The folder apehost was built in: build/<preset>/host/apehost.
fs::path build_root() { return fs::path(APEHOST_EXE).parent_path().parent_path(); }

bool has_line_matching(const std::string& text, const std::string& pattern) {
  return std::regex_search(text, std::regex(pattern, std::regex::multiline));
}

std::string quoted(const std::string& text) {
  return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\/])"), R"(\$&)");
}

TEST(CliVersion, ShowsTheProjectVersionAndTheCommit) {
  const auto run = run_apehost({"--version"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(
      std::regex_match(run.out, std::regex("apehost " + quoted(APE_PROJECT_VERSION) +
                                           R"( \(commit ([0-9a-f]{12}(-dirty)?|unknown)\)\n)")))
      << run.out;
  EXPECT_EQ(run.err, "");
}

TEST(CliPlugins, ListsTheFoldersInOrderAndEveryPluginWithItsNames) {
  hosttest::ScratchDir dir;
  const fs::path listed = dir / "listed";
  const fs::path data = dir / "data";
  copy_module(PROBEFX_MODULE, listed / "probe.so");
  write_junk(listed / "broken.so");
  copy_module(PROBEFX_MODULE, data / "apehost/plugins/probe.so");  // found later: not used
  RunSetup setup;
  setup.environment = {{"APEHOST_PLUGIN_PATH", listed.string() + ":" + (dir / "none")},
                       {"XDG_DATA_HOME", data.string()}};
  const auto run = run_apehost({"plugins"}, setup);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string& out = run.out;

  // The folders, in search order, each where it is.
  const auto listed_at = out.find("  APEHOST_PLUGIN_PATH  " + listed.string() + "\n");
  const auto none_at = out.find("  APEHOST_PLUGIN_PATH  " + (dir / "none") + " (no such folder)\n");
  const auto user_at = out.find("  user folder          " + (data / "apehost/plugins").string());
  const auto installed_at = out.find("  installed            ");
  const auto build_at = out.find("  build tree           " + build_root().string() + "\n");
  ASSERT_NE(listed_at, std::string::npos) << out;
  ASSERT_NE(none_at, std::string::npos) << out;
  ASSERT_NE(user_at, std::string::npos) << out;
  ASSERT_NE(installed_at, std::string::npos) << out;
  ASSERT_NE(build_at, std::string::npos) << out;
  EXPECT_LT(listed_at, none_at);
  EXPECT_LT(none_at, user_at);
  EXPECT_LT(user_at, installed_at);
  EXPECT_LT(installed_at, build_at);

  // The plug-ins, in the order a name tries them, with their short and long names.
  const std::string first_probe = quoted((listed / "probe.so").string());
  EXPECT_TRUE(has_line_matching(out, R"(^  probe +Probe +Render / Probe +)" + first_probe + "$"))
      << out;
  EXPECT_TRUE(has_line_matching(out, R"(^  broken +- +- +)" +
                                         quoted((listed / "broken.so").string()) +
                                         R"( \(does not load: not a loadable shared library)"))
      << out;
  EXPECT_TRUE(has_line_matching(out, R"(^  probe +Probe +Render / Probe +)" +
                                         quoted((data / "apehost/plugins/probe.so").string()) +
                                         R"( \(not used: an earlier probe loads\)$)"))
      << out;
#ifdef COILFX_MODULE
  EXPECT_TRUE(has_line_matching(out, R"(^  coilfx +Coilform 3D +Render / Coilform 3D +)" +
                                         quoted((build_root() / "coilfx/coilfx.so").string()) +
                                         "$"))
      << out;
#endif
  EXPECT_LT(out.find((listed / "probe.so").string() + "\n"),
            out.find((data / "apehost/plugins/probe.so").string()));
}

TEST(CliPlugins, SaysWhenThePathVariableNamesNoFolder) {
  RunSetup setup;
  setup.environment = {{"APEHOST_PLUGIN_PATH", std::nullopt}};
  auto run = run_apehost({"plugins"}, setup);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("  APEHOST_PLUGIN_PATH  (not set)\n"), std::string::npos) << run.out;
  setup.environment = {{"APEHOST_PLUGIN_PATH", "::"}};
  run = run_apehost({"plugins"}, setup);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("  APEHOST_PLUGIN_PATH  (empty)\n"), std::string::npos) << run.out;
}

TEST(CliPlugins, ANameSkipsAFileThatDoesNotLoadAndSaysSo) {
  hosttest::ScratchDir dir;
  const fs::path first = dir / "first";
  const fs::path second = dir / "second";
  write_junk(first / "probe.so");
  copy_module(PROBEFX_MODULE, second / "probe.so");
  RunSetup setup;
  setup.environment = {{"APEHOST_PLUGIN_PATH", first.string() + ":" + second.string()}};
  const auto run = run_apehost({"info", "probe"}, setup);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("file:        " + (second / "probe.so").string() + "\n"),
            std::string::npos)
      << run.out;
  EXPECT_TRUE(
      has_line_matching(run.err, "^apehost: note: " + quoted((first / "probe.so").string()) +
                                     R"(: not a loadable shared library \(.*\); skipped$)"))
      << run.err;

  // With nothing else of that name, the name is refused: one line, exit status 2.
  setup.environment = {{"APEHOST_PLUGIN_PATH", first.string()}};
  const auto refused = run_apehost({"info", "probe"}, setup);
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("\napehost: probe: no plug-in of that name loads (tried " +
                             (first / "probe.so").string() + ")\n"),
            std::string::npos)
      << refused.err;
}

}  // namespace
