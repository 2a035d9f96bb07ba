#pragma once
// Tests that need a program on PATH (ffprobe, xvfb-run ...) start with REQUIRE_TOOL("name"). Where
// it is missing, the test is skipped on a developer's machine, but fails under CI (CI=true in the
// environment): a CI machine without the tool must not pass without running the test.
// REQUIRE_TOOL returns from the calling function, so it belongs in a test body or SetUp().

#include <gtest/gtest.h>

#include <string>

namespace testsupport {

// Whether a program of this name is an executable regular file in one of PATH's directories.
bool on_path(const std::string& program);

// Whether the environment says this is a CI run: CI set to anything but empty, "0" or "false".
bool running_under_ci();

// What a test that needs `program` does about it.
enum class ToolVerdict { present, skip, fail };
ToolVerdict tool_verdict(const std::string& program);

// The line a missing tool is reported with.
std::string missing_tool_message(const std::string& program, ToolVerdict verdict);

}  // namespace testsupport

#define REQUIRE_TOOL(program)                                                               \
  do {                                                                                      \
    const std::string ape_tool_(program);                                                   \
    const ::testsupport::ToolVerdict ape_verdict_ = ::testsupport::tool_verdict(ape_tool_); \
    if (ape_verdict_ == ::testsupport::ToolVerdict::skip) {                                 \
      GTEST_SKIP() << ::testsupport::missing_tool_message(ape_tool_, ape_verdict_);         \
    }                                                                                       \
    if (ape_verdict_ == ::testsupport::ToolVerdict::fail) {                                 \
      FAIL() << ::testsupport::missing_tool_message(ape_tool_, ape_verdict_);               \
    }                                                                                       \
  } while (0)
