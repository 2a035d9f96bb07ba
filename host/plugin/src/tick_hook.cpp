// The tick-count hook the effect modules import: their weak reference to ape_host_tick_count binds
// to this definition, which the program exports by name (tick_hook_exports.list). Linked into the
// apehost program only: a test executable defines a hook of its own.

#include <cstdint>
#include <type_traits>

#include "apefw/ape_abi.h"
#include "plugin/tick_count.hpp"

extern "C" __attribute__((visibility("default"))) uint32_t ape_host_tick_count(void) {
  return apehost::lend_tick_count();
}

// The definition must match the type the modules expect of it.
static_assert(std::is_same_v<decltype(&ape_host_tick_count), ApeHostTickCountFn>);
