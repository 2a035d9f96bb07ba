#pragma once
// The thin platform layer: everything the plug-ins need from the operating system that is not
// windowing goes through here, so no other file includes a platform header.

#include <cstdint>

namespace apefw {

// Milliseconds since an arbitrary start, wrapping modulo 2^32: kernel32's GetTickCount on Windows;
// on Linux the hosting process's ape_host_tick_count when it provides one (so a host can fix the
// seed of a whole run), else the monotonic clock.
std::uint32_t millisecond_ticks() noexcept;

}  // namespace apefw
