// The tick count that seeds the random generator, from the platform.

#include "apefw/platform.hpp"

#if defined(_WIN32)
#include <windows.h>
#else
#include <time.h>

#include "apefw/ape_abi.h"

// Resolved by the dynamic linker against the hosting process when it exports one; null otherwise.
extern "C" uint32_t ape_host_tick_count(void) __attribute__((weak));
#endif

namespace apefw {

std::uint32_t millisecond_ticks() noexcept {
#if defined(_WIN32)
  return static_cast<std::uint32_t>(GetTickCount());
#else
  if (ape_host_tick_count) return ape_host_tick_count();
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  // Unsigned arithmetic: the count wraps like GetTickCount's after about 49.7 days.
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u);
#endif
}

}  // namespace apefw
