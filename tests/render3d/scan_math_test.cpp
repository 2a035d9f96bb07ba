// The scan converter's exact integer helpers: saturating truncation and the wide weighted mean.

#include "scan_math.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace {

using render3d::detail::mix_truncated;
using render3d::detail::trunc_to_int32;

TEST(TruncToInt32, TruncatesTowardZeroAndSaturates) {
  EXPECT_EQ(trunc_to_int32(-1.5), -1);
  EXPECT_EQ(trunc_to_int32(2.999), 2);
  EXPECT_EQ(trunc_to_int32(-0.0), 0);
  EXPECT_EQ(trunc_to_int32(2147483647.9), INT32_MAX);
  EXPECT_EQ(trunc_to_int32(-2147483648.9), INT32_MIN);
  EXPECT_EQ(trunc_to_int32(1e300), INT32_MAX);
  EXPECT_EQ(trunc_to_int32(-std::numeric_limits<double>::infinity()), INT32_MIN);
  EXPECT_EQ(trunc_to_int32(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(MixTruncated, SmallValuesTruncateTowardZero) {
  EXPECT_EQ(mix_truncated(7, 1, 0, 1), 3);
  EXPECT_EQ(mix_truncated(-7, 1, 0, 1), -3);
  EXPECT_EQ(mix_truncated(5, 3, 2, 6), 3);  // 27 / 9
  EXPECT_EQ(mix_truncated(5, 0, -2, 6), -2);
  EXPECT_EQ(mix_truncated(5, 4, -2, 0), 5);
}

TEST(MixTruncated, WideNumeratorsStayExact) {
  const std::int64_t p40 = std::int64_t{1} << 40;
  // 2^80 / 2^41 = 2^39.
  EXPECT_EQ(mix_truncated(p40, p40, 0, p40), std::int64_t{1} << 39);
  // (-2^80 + 2^40) / 2^41 = -2^39 + 1/2, truncated toward zero.
  EXPECT_EQ(mix_truncated(-p40 + 1, p40, 0, p40), -(std::int64_t{1} << 39) + 1);
  // The scan converter's extreme: columns and rows near +-2^31 + a half frame.
  const std::int64_t far = std::int64_t{INT32_MAX} + 1000;
  EXPECT_EQ(mix_truncated(far, far, far, far), far);
  EXPECT_EQ(mix_truncated(-far, far, far, far), 0);
}

#ifdef __SIZEOF_INT128__
TEST(MixTruncated, MatchesOneHundredTwentyEightBitArithmetic) {
  std::mt19937_64 rng(7u);
  for (int i = 0; i < 200000; ++i) {
    const int bits = 1 + static_cast<int>(rng() % 41);
    const std::int64_t span = std::int64_t{1} << bits;
    const auto signed_value = [&] { return static_cast<std::int64_t>(rng() % (2 * span)) - span; };
    const std::int64_t x2 = signed_value(), x0 = signed_value();
    const std::int64_t a = static_cast<std::int64_t>(rng() % span);
    const std::int64_t b = static_cast<std::int64_t>(rng() % span) + (a == 0);
    const __int128 expected = (static_cast<__int128>(x2) * a + static_cast<__int128>(x0) * b) /
                              (static_cast<__int128>(a) + b);
    ASSERT_EQ(mix_truncated(x2, a, x0, b), static_cast<std::int64_t>(expected))
        << x2 << " " << a << " " << x0 << " " << b;
  }
}
#endif

}  // namespace

namespace {

using render3d::detail::ExactQuotient;

// Every small numerator over every small divisor, as integer division truncates them.
TEST(ExactQuotient, SmallNumeratorsAndDivisorsTruncateTowardZero) {
  for (std::int64_t w = 1; w <= 600; ++w) {
    const ExactQuotient divide(w);
    for (std::int64_t n = -2500; n <= 2500; ++n) ASSERT_EQ(divide(n), n / w) << n << " / " << w;
  }
}

// Numerators one below, at and one above a multiple of the divisor are where a reciprocal that is
// a hair too small or too large shows; divisors up to the span widths and row counts the scan
// converter reaches (2^42), numerators up to 2^49.
TEST(ExactQuotient, NumeratorsBesideMultiplesOfWideDivisors) {
  std::mt19937_64 rng(31337u);
  for (int i = 0; i < 400000; ++i) {
    const int bits = 1 + static_cast<int>(rng() % 42);
    const std::int64_t w = 1 + static_cast<std::int64_t>(rng() % (std::uint64_t{1} << bits));
    const std::int64_t k_limit = (std::int64_t{1} << 49) / w;
    const std::int64_t k = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(k_limit));
    for (std::int64_t d = -1; d <= 1; ++d) {
      std::int64_t n = k * w + d;
      if (n > (std::int64_t{1} << 49) || n < 0) continue;
      if (rng() & 1u) n = -n;
      ASSERT_EQ(ExactQuotient(w)(n), n / w) << n << " / " << w;
    }
  }
  // Powers of two, whose reciprocals are exact before rounding up, and the ends of the range.
  for (int e = 0; e <= 49; ++e) {
    const std::int64_t w = std::int64_t{1} << e, top = std::int64_t{1} << 49;
    for (const std::int64_t n : {top, top - 1, -top, -(top - 1), w, w - 1, -w, -(w - 1), 3 * w})
      ASSERT_EQ(ExactQuotient(w)(n), n / w) << n << " / " << w;
    ASSERT_EQ(ExactQuotient(top - 1)(top), 1);
    ASSERT_EQ(ExactQuotient(top - 1)(top - 2), 0);
  }
}

}  // namespace
