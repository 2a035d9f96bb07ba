#include "cli/build_info.hpp"

#include "build_commit.h"  // generated into the build tree at build time

namespace apehost {

const BuildInfo& build_info() {
  static const BuildInfo info{APE_BUILD_VERSION, APE_BUILD_COMMIT};
  return info;
}

std::string version_line() {
  const BuildInfo& info = build_info();
  return std::string("apehost ") + info.version + " (commit " + info.commit + ")";
}

}  // namespace apehost
