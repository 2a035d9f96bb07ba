#pragma once
// Exact integer helpers of the scan converter. Internal to render3d (the tests reach them too): the
// rasterizer's results must be the exact values of its integer formulas however far off-screen a
// corner lands, so nothing here may lose a bit or rely on undefined behaviour.

#include <bit>
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

// trunc(n / w), truncated toward zero, for one divisor and several numerators at the price of one
// division: the span's four per-pixel steps share their divisor, the span width.
//
// Exact for 1 <= w <= 2^49 and |n| <= 2^49 (the scan converter stays below 2^42 and 2^35). With
// u = 2^-53: d = fl(1/w) is within half an ulp of 1/w, so the next double up, v, satisfies
// 1/w <= v < (1/w)(1 + 4u). For n >= 0 and q = floor(n/w), the exact product n v lies in
// [n/w, (n/w)(1 + 4u)). Below: n v >= n/w >= q and q is a double, so rounding (monotone) keeps
// fl(n v) >= q. Above: n/w <= q + 1 - 1/w, so q + 1 - n v > 1/w - 4u(q + 1) >= 5u(q + 1) - 4u(q +
// 1) because 5u(n + w) < 1 bounds 5u(q + 1) by 1/w; that gap exceeds half an ulp of q + 1, so fl(n
// v) < q + 1. Hence trunc(fl(n v)) = q. Rounding to nearest is symmetric, so a negative n gives -q:
// truncation toward zero, as integer division does. n and w convert to double exactly.
class ExactQuotient {
 public:
  explicit ExactQuotient(std::int64_t w) noexcept : reciprocal_(reciprocal_of(w)) {}

  // 1/w rounded up, the factor by which operator() multiplies.
  static double reciprocal_of(std::int64_t w) noexcept {
    return next_up(1.0 / static_cast<double>(w));
  }

  std::int64_t operator()(std::int64_t n) const noexcept {
    return static_cast<std::int64_t>(static_cast<double>(n) * reciprocal_);
  }

 private:
  // The next double above a positive finite v: its bit pattern plus one.
  static double next_up(double v) noexcept {
    return std::bit_cast<double>(std::bit_cast<std::uint64_t>(v) + 1u);
  }

  double reciprocal_;  // 1/w rounded up
};

}  // namespace render3d::detail
