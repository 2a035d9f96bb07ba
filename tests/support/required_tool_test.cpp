// REQUIRE_TOOL: a missing program skips a test on a developer's machine and fails it under CI.

#include "required_tool.hpp"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace {

using testsupport::ToolVerdict;

// Sets (a value) or removes (none) an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value->c_str(), 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// A PATH of one scratch directory holding an executable "present-tool", a non-executable
// "plain-file" and a directory "a-directory".
class ToolsOnPath : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        std::filesystem::temp_directory_path() / ("ape-required-tool-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_ / "a-directory");
    std::ofstream(dir_ / "present-tool") << "#!/bin/sh\n";
    std::ofstream(dir_ / "plain-file") << "#!/bin/sh\n";
    chmod((dir_ / "present-tool").c_str(), 0755);
    chmod((dir_ / "plain-file").c_str(), 0644);
    path_.emplace("PATH", "/nonexistent-dir::" + dir_.string());
  }
  void TearDown() override {
    path_.reset();
    std::filesystem::remove_all(dir_);
  }

  std::filesystem::path dir_;
  std::optional<ScopedEnv> path_;
};

TEST_F(ToolsOnPath, OnlyAnExecutableFileCounts) {
  EXPECT_TRUE(testsupport::on_path("present-tool"));
  EXPECT_FALSE(testsupport::on_path("plain-file"));
  EXPECT_FALSE(testsupport::on_path("a-directory"));
  EXPECT_FALSE(testsupport::on_path("missing-tool"));
}

TEST_F(ToolsOnPath, AMissingToolIsSkippedOutsideCiAndFailsUnderCi) {
  struct Case {
    std::optional<std::string> ci;
    ToolVerdict missing;
  };
  for (const Case& c : {Case{std::nullopt, ToolVerdict::skip}, Case{"", ToolVerdict::skip},
                        Case{"false", ToolVerdict::skip}, Case{"0", ToolVerdict::skip},
                        Case{"true", ToolVerdict::fail}, Case{"1", ToolVerdict::fail}}) {
    ScopedEnv ci("CI", c.ci);
    const std::string shown = c.ci ? "CI=" + *c.ci : "CI unset";
    EXPECT_EQ(testsupport::running_under_ci(), c.missing == ToolVerdict::fail) << shown;
    EXPECT_EQ(testsupport::tool_verdict("missing-tool"), c.missing) << shown;
    EXPECT_EQ(testsupport::tool_verdict("present-tool"), ToolVerdict::present) << shown;
  }
}

TEST_F(ToolsOnPath, UnderCiRequireToolFailsTheTestNamingTheTool) {
  ScopedEnv ci("CI", "true");
  EXPECT_FATAL_FAILURE(REQUIRE_TOOL("missing-tool"),
                       "missing-tool is not installed; under CI (CI=true) a test that needs it "
                       "fails");
  // A tool that is there lets the test go on, under CI or not.
  EXPECT_NO_FATAL_FAILURE(REQUIRE_TOOL("present-tool"));
}

}  // namespace
