#include "plugin/tick_count.hpp"

#include <atomic>
#include <chrono>

namespace apehost {
namespace {

// An effect may be created on any thread; every field is read and written whole.
std::atomic<bool> g_fixed{false};
std::atomic<std::uint32_t> g_fixed_ticks{0};
std::atomic<bool> g_lent{false};
std::atomic<std::uint32_t> g_lent_ticks{0};

}  // namespace

void fix_tick_count(std::uint32_t ticks) noexcept {
  g_fixed_ticks.store(ticks);
  g_fixed.store(true);
}

void use_real_tick_count() noexcept { g_fixed.store(false); }

std::uint32_t lend_tick_count() noexcept {
  std::uint32_t ticks = 0;
  if (g_fixed.load()) {
    ticks = g_fixed_ticks.load();
  } else {
    const auto since_start = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since_start).count();
    // Unsigned: the count wraps like GetTickCount's after about 49.7 days.
    ticks = static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
  }
  g_lent_ticks.store(ticks);
  g_lent.store(true);
  return ticks;
}

bool last_lent_tick_count(std::uint32_t& ticks) noexcept {
  if (!g_lent.load()) return false;
  ticks = g_lent_ticks.load();
  return true;
}

}  // namespace apehost
