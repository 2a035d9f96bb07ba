#pragma once
// The one random generator behind every random choice of both effects: a 15-bit linear congruential
// generator. State x becomes x * 214013 + 2531011 modulo 2^32 (unsigned, so the wrap is defined)
// and the value is bits 16..30 of the new state, 0..32767. Each thread has its own state, starting
// at 1; every effect constructor seeds the constructing thread's state from the millisecond tick
// count. The order of draws is part of what the effects draw, so every draw goes through here.

#include <cstdint>

namespace apefw {

inline constexpr int kRandomMax = 32767;

void seed_random(std::uint32_t seed) noexcept;
int random15() noexcept;

// The calling thread's generator state (tests check draw order against it).
std::uint32_t random_state() noexcept;

}  // namespace apefw
