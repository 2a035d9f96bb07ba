#include "host_ticks.hpp"

#include <atomic>
#include <chrono>
#include <type_traits>

#include "apefw/ape_abi.h"

namespace {

std::atomic<bool> g_fixed{false};
std::atomic<std::uint32_t> g_fixed_ticks{0};
std::atomic<bool> g_lent{false};
std::atomic<std::uint32_t> g_lent_ticks{0};

std::uint32_t lend(std::uint32_t ticks) {
  g_lent_ticks.store(ticks);
  g_lent.store(true);
  return ticks;
}

}  // namespace

namespace apehost {

void fix_tick_count(std::uint32_t ticks) noexcept {
  g_fixed_ticks.store(ticks);
  g_fixed.store(true);
}

void use_real_tick_count() noexcept { g_fixed.store(false); }

bool last_lent_tick_count(std::uint32_t& ticks) noexcept {
  if (!g_lent.load()) return false;
  ticks = g_lent_ticks.load();
  return true;
}

}  // namespace apehost

// Exported (host_exports.list) so that the modules' weak reference binds to it.
extern "C" __attribute__((visibility("default"))) uint32_t ape_host_tick_count(void) {
  if (g_fixed.load()) return lend(g_fixed_ticks.load());
  const auto since_start = std::chrono::steady_clock::now().time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since_start).count();
  // Unsigned: the count wraps like GetTickCount's after about 49.7 days.
  return lend(static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms)));
}

// The definition must match the type the modules expect of it.
static_assert(std::is_same_v<decltype(&ape_host_tick_count), ApeHostTickCountFn>);
