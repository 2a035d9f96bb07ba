// libFuzzer target: sequences of frames with arbitrary sound, beats and sizes, on either effect
// (cases/effect_cases.h).

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "in_process_host.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  char why[256];
  if (run_frames_case(&fuzzing::in_process_host(), data, size, why, sizeof why) != 0) {
    std::fprintf(stderr, "frames case failed: %s\n", why);
    std::abort();
  }
  return 0;
}
