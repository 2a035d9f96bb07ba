#pragma once
// The test executables act as the hosting process: they define the tick-count hook, so a test can
// fix the seed every effect constructor draws from.

#include <cstdint>

namespace testsupport {

void set_fixed_tick(std::uint32_t ticks);

}  // namespace testsupport
