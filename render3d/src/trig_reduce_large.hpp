#pragma once
// Reduction of a huge angle by pi/2, for sin/cos (trig.cpp). Internal to render3d.

namespace render3d::trig::detail {

// x − n·(pi/2) as an unevaluated sum hi + lo (|lo| ≤ half an ulp of hi, |hi + lo| ≤ pi/4), and n
// mod 4.
struct ReducedAngle {
  double hi;
  double lo;
  unsigned quadrant;
};

// For finite x above 2^19·pi/2 (trig.cpp's shorter reductions take what is below): beyond
// 2^29·pi/2, and below it for the rare x too close to a multiple of pi/2 for them. Works on the
// integer mantissa of x and the bits of 2/pi, so any finite x in that range is reduced correctly.
ReducedAngle reduce_large(double x) noexcept;

}  // namespace render3d::trig::detail
