#include "fixed_tick.hpp"

#include <atomic>

namespace {
std::atomic<std::uint32_t> g_ticks{12345u};
}

namespace testsupport {
void set_fixed_tick(std::uint32_t ticks) { g_ticks.store(ticks); }
}  // namespace testsupport

extern "C" __attribute__((visibility("default"))) std::uint32_t ape_host_tick_count(void) {
  return g_ticks.load();
}
