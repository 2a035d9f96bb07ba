// libFuzzer target: settings loads of any bytes and any length, saves and frames, on either effect
// (cases/effect_cases.h).

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "in_process_host.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  char why[256];
  if (run_settings_case(&fuzzing::in_process_host(), data, size, why, sizeof why) != 0) {
    std::fprintf(stderr, "settings case failed: %s\n", why);
    std::abort();
  }
  return 0;
}
