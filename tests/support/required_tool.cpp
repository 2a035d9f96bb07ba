#include "required_tool.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace testsupport {

bool on_path(const std::string& program) {
  const char* path = std::getenv("PATH");
  const std::string dirs = path ? path : "";
  std::size_t start = 0;
  for (;;) {
    const auto colon = dirs.find(':', start);
    const std::string dir = dirs.substr(start, colon == std::string::npos ? colon : colon - start);
    if (!dir.empty()) {
      const std::string file = dir + "/" + program;
      struct stat info {};
      if (stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
          access(file.c_str(), X_OK) == 0)
        return true;
    }
    if (colon == std::string::npos) return false;
    start = colon + 1;
  }
}

bool running_under_ci() {
  const char* ci = std::getenv("CI");
  if (ci == nullptr) return false;
  const std::string value = ci;
  return !value.empty() && value != "0" && value != "false";
}

ToolVerdict tool_verdict(const std::string& program) {
  if (on_path(program)) return ToolVerdict::present;
  return running_under_ci() ? ToolVerdict::fail : ToolVerdict::skip;
}

std::string missing_tool_message(const std::string& program, ToolVerdict verdict) {
  if (verdict == ToolVerdict::fail) {
    return program +
           " is not installed; under CI (CI=true) a test that needs it fails instead of being "
           "skipped (scripts/setup installs it)";
  }
  return program + " is not installed: skipped (under CI it fails; scripts/setup installs it)";
}

}  // namespace testsupport
