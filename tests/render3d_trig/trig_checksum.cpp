// Hashes the bit patterns of render3d::trig::sin and cos over a fixed set of a million arguments.
// Every build (64-bit Linux, 32-bit Windows) must print the same hash: that is what lets the two
// draw identical pixels. Standalone on purpose, so it can be built with nothing but a compiler:
//
//   i686-w64-mingw32-g++ -std=c++20 -O2 -msse2 -mfpmath=sse -ffp-contract=off -static
//       -Irender3d/include tests/render3d_trig/trig_checksum.cpp render3d/src/trig.cpp
//       render3d/src/trig_reduce_large.cpp -o trig_checksum.exe          (one line)
//   WINEDEBUG=-all wine trig_checksum.exe --check
//
// Prints "trig checksum: <16 hex digits>". With --check it also compares against kExpected and
// exits 1 on a mismatch: a change to the functions' results must be deliberate, and then this
// constant is updated together with it.

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "render3d/trig.hpp"

namespace {

constexpr uint64_t kExpected = 0xaa9139be10511e53;

constexpr int kArgumentCount = 1000000;

// splitmix64: a fixed, well-mixed integer sequence, the same everywhere.
uint64_t next_random(uint64_t& state) {
  state += 0x9E3779B97F4A7C15;
  uint64_t z = state;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
  return z ^ (z >> 31);
}

// A uniform double in [0, 1) from 53 random bits, converted exactly (two int32 halves, so no
// platform-specific 64-bit conversion is involved).
double unit_interval(uint64_t r) {
  const uint64_t bits53 = r >> 11;
  const double high = static_cast<double>(static_cast<int32_t>(bits53 >> 26));
  const double low = static_cast<double>(static_cast<int32_t>(bits53 & 0x3FFFFFF));
  return (high * 67108864.0 + low) * 0x1p-53;
}

// The ranges the effects feed (phases and clocks grow without bound), plus any finite double at
// all.
constexpr double kRanges[] = {1e-8, 4.0, 1e3, 1e6, 1e8, 1e9};
constexpr int kRangeCount = sizeof(kRanges) / sizeof(kRanges[0]);

double argument(int i, uint64_t& state) {
  const uint64_t r = next_random(state);
  const int kind = i % (kRangeCount + 1);
  double x;
  if (kind < kRangeCount) {
    x = unit_interval(r) * kRanges[kind];
  } else {
    // Any finite pattern: exponent field 0 to 0x7FE (subnormals included).
    uint64_t bits = r & 0x7FFFFFFFFFFFFFFF;
    if ((bits >> 52) == 0x7FF) bits &= ~(uint64_t{1} << 62);
    x = std::bit_cast<double>(bits);
  }
  return (next_random(state) & 1) != 0 ? -x : x;
}

// Values where the reduction or the special cases are most likely to go astray.
constexpr uint64_t kFixedArguments[] = {
    0x0000000000000000, 0x8000000000000000,  // ±0
    0x7FF0000000000000, 0xFFF0000000000000,  // ±inf
    0x7FF8000000000000, 0x7FF0000000000001,  // NaNs (the result is one fixed NaN)
    0x0000000000000001, 0x000FFFFFFFFFFFFF,  // subnormals
    0x0010000000000000, 0x7FEFFFFFFFFFFFFF,  // smallest normal, largest finite
    0x3E3FFFFFFFFFFFFF, 0x3E40000000000000,  // around 2^-27
    0x3FE921FB54442D18, 0x3FE921FB54442D19,  // pi/4
    0x3FF921FB54442D18, 0x400921FB54442D18,  // pi/2, pi
    0x413921FBFFFFFFFF, 0x413921FC00000000,  // where the reduction changes method,
    0x41C921FBFFFFFFFF, 0x41C921FC00000000,  // twice
    0x416B951F1572EBA5, 0x418B951F1572EBA5,  // within 2^-59 of multiples of pi/2 below 2^29
    0x4197D78400000000, 0x4480F0CF064DD592,  // 1e8, 1e22
    0x7506AC5B262CA1FF,  // 6381956970095103·2^797, the closest to a multiple of pi/2
};

// FNV-1a over the eight bytes of each result, least significant first.
uint64_t mix(uint64_t hash, double value) {
  uint64_t bits = std::bit_cast<uint64_t>(value);
  for (int i = 0; i < 8; ++i) {
    hash ^= bits & 0xFF;
    hash *= 0x100000001B3;
    bits >>= 8;
  }
  return hash;
}

void format_hex(uint64_t v, char* out) {
  for (int i = 15; i >= 0; --i) {
    out[i] = "0123456789abcdef"[v & 0xF];
    v >>= 4;
  }
  out[16] = '\0';
}

}  // namespace

int main(int argc, char** argv) {
  const bool check = argc > 1 && std::strcmp(argv[1], "--check") == 0;
  uint64_t hash = 0xCBF29CE484222325;
  for (const uint64_t bits : kFixedArguments) {
    const double x = std::bit_cast<double>(bits);
    hash = mix(mix(hash, render3d::trig::sin(x)), render3d::trig::cos(x));
  }
  uint64_t state = 0x5EED0F7A1C0FFEE5;
  for (int i = 0; i < kArgumentCount; ++i) {
    const double x = argument(i, state);
    hash = mix(mix(hash, render3d::trig::sin(x)), render3d::trig::cos(x));
  }
  char text[17];
  format_hex(hash, text);
  std::printf("trig checksum: %s\n", text);
  if (check && hash != kExpected) {
    char expected[17];
    format_hex(kExpected, expected);
    std::printf("expected:      %s (sin/cos results changed)\n", expected);
    return 1;
  }
  return 0;
}
