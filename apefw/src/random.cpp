#include "apefw/random.hpp"

namespace apefw {
namespace {

constexpr std::uint32_t kMultiplier = 214013u;
constexpr std::uint32_t kIncrement = 2531011u;
// The value is bits 16..30 of the state (the low bits of such a generator repeat with short
// periods).
constexpr int kValueShift = 16;

// Per thread, as the generator is specified: a thread that never seeded it starts from 1.
thread_local std::uint32_t t_state = 1u;

}  // namespace

void seed_random(std::uint32_t seed) noexcept { t_state = seed; }

int random15() noexcept {
  t_state = t_state * kMultiplier + kIncrement;  // unsigned: wraps modulo 2^32
  return static_cast<int>((t_state >> kValueShift) & static_cast<std::uint32_t>(kRandomMax));
}

std::uint32_t random_state() noexcept { return t_state; }

}  // namespace apefw
