// The scan converter as it stood before rows were recorded for the outline and the per-pixel steps
// were taken by reciprocal: each triangle marks its own outline pixel by pixel as it fills, every
// step is a 64-bit integer division. Kept, unchanged but for its names, as the reference that the
// differential tests hold the rasterizer to (rasterizer_differential_test.cpp); it takes a target's
// frame, depth and size and ignores any outline marks in it.

#include "reference_rasterizer.hpp"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <utility>

namespace r3dtest::reference {

using render3d::FaceNormalRules;
using render3d::MeshVertex;
using render3d::RenderTarget;
using render3d::Vec3;
using render3d::ViewFacingRules;

namespace {

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

using Fixed = std::int64_t;  // 8 fractional bits, see above
constexpr int kFracBits = 8;
constexpr Fixed kFixedOne = Fixed{1} << kFracBits;

// Every filled pixel has the low bit of each channel set, so a filled pixel is never 0 and the
// outline colour is the darkest colour a fill can have.
constexpr std::uint32_t kOutlineColour = 0x010101u;

constexpr double kNearestDepth = 1.0;       // corners nearer than this reject the triangle
constexpr double kDepthScale = 65536.0;     // 1/z in (0, 1] to the 16-bit depth (1.0 wraps to 0)
constexpr double kFacingLimit = 15.0;       // view-facing rule: T . S above this is turned away
constexpr double kFaceAwayLimit = -0.3;     // face-normal rule: normal z below this is turned away
constexpr double kRangeInHalfFrames = 3.0;  // view-facing rule: corners within 3 half-frames

struct FrameHalves {
  std::int32_t hw;  // width / 2
  std::int32_t hh;  // height / 2
  std::int32_t m;   // min(hw, hh): the projection scale before zoom
};

FrameHalves halves_of(const RenderTarget& t) noexcept {
  const std::int32_t hw = t.width / 2, hh = t.height / 2;
  return {hw, hh, hw < hh ? hw : hh};
}

bool target_usable(const RenderTarget& t) noexcept {
  return t.frame != nullptr && t.depth != nullptr && t.width > 0 && t.height > 0;
}

// Any corner nearer than z = 1 rejects the triangle; so does a NaN depth, which has no place.
bool beyond_near_limit(const MeshVertex& a, const MeshVertex& b, const MeshVertex& c) noexcept {
  return a.position.z >= kNearestDepth && b.position.z >= kNearestDepth &&
         c.position.z >= kNearestDepth;
}

// A corner after projection: offsets from the frame centre, the depth value and the lit colour.
struct ProjectedCorner {
  double sx;
  double sy;
  double depth;
  std::uint32_t colour;
};

ProjectedCorner project(const MeshVertex& v, double k, const RenderTarget& t) noexcept {
  const Vec3& p = v.position;
  if (p.z > kNearestDepth) {
    const double inv_z = 1.0 / p.z;
    return {inv_z * k * p.x, inv_z * k * p.y, inv_z, v.colour};
  }
  // Exactly at z = 1 the corner is put one whole frame up and to the left, with depth 1.0, which
  // wraps to 0 in 16 bits (the nearest possible depth comes out as the farthest).
  return {-static_cast<double>(t.width), -static_cast<double>(t.height), 1.0, v.colour};
}

// One corner on the frame: column, row, 16-bit depth and colour channels, all whole numbers.
struct ScreenCorner {
  std::int64_t x, y;
  std::int64_t z;
  std::int64_t r, g, b;
};

// The five quantities an edge carries, or their per-row steps.
struct EdgeValues {
  Fixed x, z, r, g, b;
};

EdgeValues values_at(const ScreenCorner& c) noexcept {
  return {c.x * kFixedOne, c.z * kFixedOne, c.r * kFixedOne, c.g * kFixedOne, c.b * kFixedOne};
}

// Per-row steps from one corner to a lower one: (q_to - q_from) / (Y_to - Y_from), each truncated.
EdgeValues step_between(const ScreenCorner& from, const ScreenCorner& to) noexcept {
  const std::int64_t rows = to.y - from.y;
  const EdgeValues f = values_at(from), e = values_at(to);
  return {(e.x - f.x) / rows, (e.z - f.z) / rows, (e.r - f.r) / rows, (e.g - f.g) / rows,
          (e.b - f.b) / rows};
}

void advance(EdgeValues& e, const EdgeValues& step, std::int64_t n) noexcept {
  e.x += step.x * n;
  e.z += step.z * n;
  e.r += step.r * n;
  e.g += step.g * n;
  e.b += step.b * n;
}

inline std::uint32_t channel_of(Fixed v) noexcept {
  const Fixed c = v >> kFracBits;
  return c <= 0 ? 0u : c >= 255 ? 255u : static_cast<std::uint32_t>(c);
}

// Fills row y (0 <= y < height) between edges a and b.
void draw_span(const RenderTarget& t, std::int32_t y, const EdgeValues& a,
               const EdgeValues& b) noexcept {
  const bool a_is_left = a.x <= b.x;
  const EdgeValues& left = a_is_left ? a : b;
  const EdgeValues& right = a_is_left ? b : a;
  const Fixed xl = left.x;
  const Fixed xr = right.x + 1;
  const Fixed w = xr - xl;

  // Columns first: a row that draws nothing needs no steps (and its left clip could overflow).
  // Column width - 1 is never filled, so the right-end mark at c1 + 1 stays inside the row.
  const std::int64_t last = xr >> kFracBits;
  const std::int64_t c1_wide = last < t.width - 2 ? last : t.width - 2;
  const std::int64_t c0_wide = xl < 0 ? 0 : xl >> kFracBits;
  if (c1_wide <= 0 || c0_wide >= t.width - 1) return;
  const std::int32_t c0 = static_cast<std::int32_t>(c0_wide);
  const std::int32_t c1 = static_cast<std::int32_t>(c1_wide);

  const Fixed dz = (right.z - left.z) * kFixedOne / w;
  const Fixed dr = (right.r - left.r) * kFixedOne / w;
  const Fixed dg = (right.g - left.g) * kFixedOne / w;
  const Fixed db = (right.b - left.b) * kFixedOne / w;
  Fixed z = left.z, r = left.r, g = left.g, bl = left.b;
  if (xl < 0) {
    // Start at the values the span reaches at column 0 (c0 is already 0), not at its left end's.
    z -= (dz * xl) >> kFracBits;
    r -= (dr * xl) >> kFracBits;
    g -= (dg * xl) >> kFracBits;
    bl -= (db * xl) >> kFracBits;
  }

  const std::size_t width = static_cast<std::size_t>(t.width);
  const std::size_t row = static_cast<std::size_t>(y) * width;
  std::uint32_t* const frame = t.frame + row;
  std::uint16_t* const depth = t.depth + row;
  if (c0 > 0 && depth[c0 - 1] == 0) frame[c0 - 1] = kOutlineColour;
  if (depth[c1 + 1] == 0) frame[c1 + 1] = kOutlineColour;

  // The row above is marked from every row but the first; the row below only down to row
  // height - 2, so the last row is never marked from the one above it.
  std::uint32_t* const frame_up = y > 0 ? frame - width : nullptr;
  std::uint16_t* const depth_up = y > 0 ? depth - width : nullptr;
  std::uint32_t* const frame_down = y < t.height - 2 ? frame + width : nullptr;
  std::uint16_t* const depth_down = y < t.height - 2 ? depth + width : nullptr;

  for (std::int32_t c = c0; c <= c1; ++c) {
    if (depth_up != nullptr && depth_up[c] == 0) frame_up[c] = kOutlineColour;
    if (depth_down != nullptr && depth_down[c] == 0) frame_down[c] = kOutlineColour;
    // Strictly nearer wins: of two fills at one depth the first drawn keeps the pixel. The stored
    // entry is unsigned, the candidate signed, so a candidate that went negative never wins.
    const Fixed zp = z >> kFracBits;
    if (static_cast<Fixed>(depth[c]) < zp) {
      depth[c] = static_cast<std::uint16_t>(zp);
      frame[c] = (channel_of(r) << 16) | (channel_of(g) << 8) | channel_of(bl) | kOutlineColour;
    }
    z += dz;
    r += dr;
    g += dg;
    bl += db;
  }
}

// Rows [y_begin, y_end) of one half. Rows above the frame are stepped over in one go (n steps are
// the same as n additions); a row at or below the frame's bottom ends the whole triangle, signalled
// by returning false.
bool walk_half(const RenderTarget& t, std::int64_t y_begin, std::int64_t y_end, EdgeValues& a,
               const EdgeValues& a_step, EdgeValues& b, const EdgeValues& b_step) noexcept {
  std::int64_t y = y_begin;
  if (y < 0) {
    const std::int64_t skipped = (y_end < 0 ? y_end : 0) - y;
    advance(a, a_step, skipped);
    advance(b, b_step, skipped);
    y += skipped;
  }
  for (; y < y_end; ++y) {
    if (y >= t.height) return false;
    draw_span(t, static_cast<std::int32_t>(y), a, b);
    advance(a, a_step, 1);
    advance(b, b_step, 1);
  }
  return true;
}

// Sorts the projected corners by row, turns them into screen records and fills the triangle.
void scan_convert(const RenderTarget& t, ProjectedCorner p0, ProjectedCorner p1,
                  ProjectedCorner p2) noexcept {
  // A NaN offset has no place on the frame (and would leave the sort meaningless).
  if (p0.sx != p0.sx || p0.sy != p0.sy || p1.sx != p1.sx || p1.sy != p1.sy || p2.sx != p2.sx ||
      p2.sy != p2.sy)
    return;

  // Three compare-and-swaps; equal rows keep their order.
  if (p1.sy < p0.sy) std::swap(p0, p1);
  if (p2.sy < p1.sy) std::swap(p1, p2);
  if (p1.sy < p0.sy) std::swap(p0, p1);

  const FrameHalves h = halves_of(t);
  if (p0.sy >= h.hh || p2.sy < -h.hh) return;  // wholly below or wholly above the frame

  const auto screen = [&h](const ProjectedCorner& p) {
    const std::uint32_t depth16 =
        static_cast<std::uint32_t>(trunc_to_int32(p.depth * kDepthScale)) & 0xFFFFu;
    return ScreenCorner{std::int64_t{trunc_to_int32(p.sx)} + h.hw,
                        std::int64_t{trunc_to_int32(p.sy)} + h.hh,
                        std::int64_t{depth16},
                        std::int64_t{(p.colour >> 16) & 255u},
                        std::int64_t{(p.colour >> 8) & 255u},
                        std::int64_t{p.colour & 255u}};
  };
  const ScreenCorner s0 = screen(p0), s1 = screen(p1), s2 = screen(p2);
  if (s2.y == s0.y) return;

  // Edge B, the long one from corner 0 to corner 2, keeps its steps for both halves.
  const std::int64_t rows = s2.y - s0.y;
  const EdgeValues b_step = step_between(s0, s2);
  EdgeValues b = values_at(s0);

  if (s1.y > s0.y) {
    EdgeValues a = values_at(s0);
    if (!walk_half(t, s0.y, s1.y, a, step_between(s0, s1), b, b_step)) return;
  }
  if (s2.y > s1.y) {
    // B restarts at row Y1 from the corners rather than from where the upper half left it. x and
    // depth are divided before they are scaled, so their fraction is dropped; each colour is the
    // sum of two separately truncated quotients.
    const std::int64_t upper = s1.y - s0.y, lower = s2.y - s1.y;
    b.x = mix_truncated(s2.x, upper, s0.x, lower) * kFixedOne;
    b.z = (s2.z * upper + s0.z * lower) / rows * kFixedOne;
    b.r = s0.r * lower * kFixedOne / rows + s2.r * upper * kFixedOne / rows;
    b.g = s0.g * lower * kFixedOne / rows + s2.g * upper * kFixedOne / rows;
    b.b = s0.b * lower * kFixedOne / rows + s2.b * upper * kFixedOne / rows;
    EdgeValues a = values_at(s1);
    walk_half(t, s1.y, s2.y, a, step_between(s1, s2), b, b_step);
  }
}

}  // namespace

void draw_triangle_reference(const RenderTarget& target, const MeshVertex& c0, const MeshVertex& c1,
                             const MeshVertex& c2, const ViewFacingRules& rules) noexcept {
  if (!target_usable(target) || !beyond_near_limit(c0, c1, c2)) return;

  // Turned away when the summed normals point along the summed positions (the normals hold what
  // shading left there, which points against the view for a face seen from the front).
  const Vec3 s = c0.position + c1.position + c2.position;
  const Vec3 n = c0.normal + c1.normal + c2.normal;
  if (n.y * s.y + n.z * s.z + n.x * s.x > kFacingLimit) return;

  const FrameHalves h = halves_of(target);
  const double k = rules.zoom * static_cast<double>(h.m);
  const ProjectedCorner p0 = project(c0, k, target);
  const ProjectedCorner p1 = project(c1, k, target);
  const ProjectedCorner p2 = project(c2, k, target);

  // Range test on the camera-space corners; NaN fails it.
  const double x_limit = kRangeInHalfFrames * h.hw, y_limit = kRangeInHalfFrames * h.hh;
  for (const MeshVertex* v : {&c0, &c1, &c2}) {
    const Vec3& p = v->position;
    if (!(p.x >= -x_limit && p.x < x_limit && p.y >= -y_limit && p.y < y_limit)) return;
  }

  scan_convert(target, p0, p1, p2);
}

void draw_triangle_reference(const RenderTarget& target, const MeshVertex& c0, const MeshVertex& c1,
                             const MeshVertex& c2, const FaceNormalRules& rules) noexcept {
  if (!target_usable(target) || !beyond_near_limit(c0, c1, c2)) return;
  if (rules.face_normal.z < kFaceAwayLimit) return;

  const double k = static_cast<double>(halves_of(target).m);
  scan_convert(target, project(c0, k, target), project(c1, k, target), project(c2, k, target));
}

}  // namespace r3dtest::reference
