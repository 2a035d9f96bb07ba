#pragma once
// Exact integer helpers of the scan converter. Internal to render3d (the tests reach them too): the
// rasterizer's results must be the exact values of its integer formulas however far off-screen a
// corner lands, so nothing here may lose a bit or rely on undefined behaviour.

#include <cstdint>

namespace render3d::detail {

// Double to signed 32-bit by truncation toward zero. Values beyond the 32-bit range saturate and
// NaN gives 0, where a plain conversion would be undefined.
inline std::int32_t trunc_to_int32(double v) noexcept {
  if (v != v) return 0;
  if (v <= -2147483648.0) return INT32_MIN;
  if (v >= 2147483647.0) return INT32_MAX;
  return static_cast<std::int32_t>(v);
}

// trunc((x2 * a + x0 * b) / (a + b)) computed exactly, for a, b >= 0, a + b > 0, |x0|, |x2| < 2^62
// and a + b < 2^62. The result is a weighted mean of x0 and x2, so it always fits 64 bits, but the
// numerator may not: the scan converter's corners reach about 2^32 in both x and rows, which puts
// each product near 2^64. Such corners are far off-screen and rare, so the exact path below is a
// slow 128-bit long division behind a test that 64 bits suffice.
inline std::int64_t mix_truncated(std::int64_t x2, std::int64_t a, std::int64_t x0,
                                  std::int64_t b) noexcept {
  const std::int64_t d = a + b;
  // |x2 a + x0 b| <= max(|x0|, |x2|) * (a + b) < 2^31 * 2^31 = 2^62.
  constexpr std::int64_t kNarrow = std::int64_t{1} << 31;
  if (x2 > -kNarrow && x2 < kNarrow && x0 > -kNarrow && x0 < kNarrow && d < kNarrow)
    return (x2 * a + x0 * b) / d;

  // Two's complement 128-bit words, hi:lo.
  struct Wide {
    std::uint64_t hi;
    std::uint64_t lo;
  };
  const auto negate = [](Wide w) {
    w.hi = ~w.hi;
    w.lo = ~w.lo + 1u;
    if (w.lo == 0) ++w.hi;
    return w;
  };
  // x * f for f >= 0, from four 32 x 32 -> 64 partial products of the magnitudes.
  const auto product = [&negate](std::int64_t x, std::int64_t f) {
    const std::uint64_t m =
        x < 0 ? 0u - static_cast<std::uint64_t>(x) : static_cast<std::uint64_t>(x);
    const std::uint64_t n = static_cast<std::uint64_t>(f);
    const std::uint64_t m_lo = m & 0xFFFFFFFFu, m_hi = m >> 32;
    const std::uint64_t n_lo = n & 0xFFFFFFFFu, n_hi = n >> 32;
    const std::uint64_t ll = m_lo * n_lo, lh = m_lo * n_hi, hl = m_hi * n_lo, hh = m_hi * n_hi;
    const std::uint64_t mid = (ll >> 32) + (lh & 0xFFFFFFFFu) + (hl & 0xFFFFFFFFu);
    Wide w{hh + (lh >> 32) + (hl >> 32) + (mid >> 32), (ll & 0xFFFFFFFFu) | (mid << 32)};
    return x < 0 ? negate(w) : w;
  };
  const Wide p = product(x2, a);
  const Wide q = product(x0, b);
  Wide sum{p.hi + q.hi, p.lo + q.lo};
  if (sum.lo < p.lo) ++sum.hi;
  const bool negative = (sum.hi >> 63) != 0;
  if (negative) sum = negate(sum);

  // Bit-serial division of the magnitude; the remainder stays below d < 2^62, so shifting it left
  // once never overflows, and the quotient (a mean of x0 and x2) has no bits above 62.
  const std::uint64_t divisor = static_cast<std::uint64_t>(d);
  std::uint64_t quotient = 0, remainder = 0;
  for (int bit = 127; bit >= 0; --bit) {
    const std::uint64_t word = bit >= 64 ? sum.hi : sum.lo;
    remainder = (remainder << 1) | ((word >> (bit & 63)) & 1u);
    if (remainder >= divisor) {
      remainder -= divisor;
      if (bit < 64) quotient |= std::uint64_t{1} << bit;
    }
  }
  const std::int64_t magnitude = static_cast<std::int64_t>(quotient);
  return negative ? -magnitude : magnitude;
}

}  // namespace render3d::detail
