#pragma once
// host/plugin: uses base and the C boundary (apefw/ape_abi.h) only; used by media, live and cli.
//
// The tick count apehost lends the effects it loads. On Linux each effect module seeds its random
// generator from ape_host_tick_count() when the hosting process exports that function (the way
// kernel32's GetTickCount serves on Windows); apehost defines and exports it (tick_hook.cpp, linked
// into the program only, so a test executable can bring a hook of its own), so a render can fix the
// seed and come out the same on every run.

#include <cstdint>

namespace apehost {

// From now on every effect constructor sees this tick count.
void fix_tick_count(std::uint32_t ticks) noexcept;

// Back to the real clock: milliseconds of the monotonic clock, wrapping modulo 2^32.
void use_real_tick_count() noexcept;

// The tick count for an effect asking now (the fixed one, or the real clock's), remembered as lent.
std::uint32_t lend_tick_count() noexcept;

// The tick count last handed to an effect, so a run seeded from the real clock can be repeated with
// that count fixed; false when no effect has asked yet.
bool last_lent_tick_count(std::uint32_t& ticks) noexcept;

}  // namespace apehost
