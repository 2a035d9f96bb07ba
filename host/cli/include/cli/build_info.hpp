#pragma once
// host/cli: uses live, media, plugin, audio and base; the only layer that knows the command line.
//
// What this apehost was built from: the project's version and the commit of its sources, written
// into a generated header at every build (cmake/BuildInfo.cmake), so a new commit shows without
// configuring again.

#include <string>

namespace apehost {

struct BuildInfo {
  const char* version;  // the project's version, "0.1.0"
  // The commit's abbreviated hash, with "-dirty" when the sources differed from it, or
  // "unknown" for sources that came without their git history and without a recorded commit.
  const char* commit;
};

const BuildInfo& build_info();

// "apehost 0.1.0 (commit 2f1403f1a2b3)": what --version prints.
std::string version_line();

}  // namespace apehost
