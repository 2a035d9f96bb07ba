// The triangle rasterizer. Each effect has its own way of turning a triangle away and its own
// projection scale (the two draw_triangle overloads below); everything after projection is one scan
// converter: sort the corners by row, walk the two edges of the upper and of the lower half, and
// fill each row between them with a 16-bit depth test, marking the empty pixels around the fill
// with the outline colour. With outline marks in the target, a row whose depths stay within
// 1..65535 is only recorded there and its marks are derived once the mesh is done (outline.cpp
// says why that gives the same pixels); other rows mark as they go.
//
// Divisions. Every quotient shares its divisor with others (five edge steps over the rows of an
// edge, four pixel steps over a row's width, the restart over the rows of the triangle), so each
// is taken as one reciprocal, rounded up, and one multiplication (detail::ExactQuotient: exact for
// numerators and divisors up to 2^49; the largest here are the restart's, below 65536 * 2^33).
//
// Fixed point. Every interpolated quantity (edge x, depth, red, green, blue) is the value times
// 256, 8 fractional bits, and every division truncates toward zero, exactly as a 32-bit span drawer
// would do it. The values are held in 64 bits so that they are the exact results of those integer
// formulas for any triangle: in 32 bits the per-pixel depth step overflows for a corner nearer than
// about z = 2, and the recomputed long edge of the lower half once a triangle spans some 32768
// rows. Where 32 bits do not overflow the 64-bit values, and so the pixels, are the same.
//
// Bit budget (|.| bounds):
//   corner X, Y         < 2^32     (trunc saturates to 32 bits, then half a frame < 2^30 is added)
//   rows D = Y2 - Y0    < 2^33
//   edge x = X * 256    < 2^40,    edge depth < 2^24, edge colours < 2^16
//   edge step           <= |q1 - q0| < 2^41; n steps from a half's first row move a value by at
//                       most |q1 - q0| too, so rows above the frame are skipped by one product
//   long edge restart   X2 * (Y1 - Y0) + X0 * (Y2 - Y1) reaches ~2^65: see mix_truncated
//   span width w        < 2^42, at least 1
//   pixel step          |(right - left) * 256| / w < 2^32
//   left clip           |step * xl| < |(right - left) * 256| < 2^32, because a row that draws has
//                       xr >= 256, so |xl| < w (the test is made before the product)
//   recorded row        depth 256 .. 2^24 at both ends, colours within 2^26: the pixel loop runs
//                       in 32 bits (see fill)

#include "render3d/rasterizer.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include "outline.hpp"
#include "scan_math.hpp"

namespace render3d {
namespace {

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

// Per-row steps from one corner to a lower one: (q_to - q_from) / (Y_to - Y_from), each truncated,
// by one shared division (differences below 2^41, rows below 2^33).
EdgeValues step_between(const ScreenCorner& from, const ScreenCorner& to) noexcept {
  const detail::ExactQuotient per_row(to.y - from.y);
  const EdgeValues f = values_at(from), e = values_at(to);
  return {per_row(e.x - f.x), per_row(e.z - f.z), per_row(e.r - f.r), per_row(e.g - f.g),
          per_row(e.b - f.b)};
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

// Where a row starts filling and how its values step from pixel to pixel.
struct SpanValues {
  Fixed z, r, g, b;
  Fixed dz, dr, dg, db;
};

// Row y filled from column c0 to c1, marking the empty pixels around it as it goes: the way of a
// target without outline marks, and of a row whose depths leave 1..65535 (see draw_span).
[[gnu::noinline]] void fill_and_mark(const RenderTarget& t, std::int32_t y, std::int32_t c0,
                                     std::int32_t c1, SpanValues v) noexcept {
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
    const Fixed zp = v.z >> kFracBits;
    if (static_cast<Fixed>(depth[c]) < zp) {
      depth[c] = static_cast<std::uint16_t>(zp);
      frame[c] =
          (channel_of(v.r) << 16) | (channel_of(v.g) << 8) | channel_of(v.b) | kOutlineColour;
    }
    v.z += v.dz;
    v.r += v.dr;
    v.g += v.dg;
    v.b += v.db;
  }
}

// Row y filled from column c0 to c1 with the depth test alone; its outline comes from the
// recorded rows. Every value fits 32 bits here: the depth lies in 256 .. 2^24 at both ends of the
// row (so everywhere between, and one step beyond), and a colour within 2^26 (its step times the
// row's pixel count is at most 257/256 of the edges' difference, below 2^25). With kClamp false
// every colour lies in 0 .. 255 * 256 + 255, so its channel is its bits 8..15 as they stand.
template <bool kClamp>
[[gnu::always_inline]] inline void fill(std::uint32_t* frame, std::uint16_t* depth, std::int32_t c0,
                                        std::int32_t c1, std::int32_t z, std::int32_t r,
                                        std::int32_t g, std::int32_t b, const std::int32_t dz,
                                        const std::int32_t dr, const std::int32_t dg,
                                        const std::int32_t db) noexcept {
  for (std::int32_t c = c0; c <= c1; ++c) {
    const std::int32_t zp = z >> kFracBits;
    if (depth[c] < zp) {
      depth[c] = static_cast<std::uint16_t>(zp);
      if constexpr (kClamp) {
        frame[c] = (channel_of(r) << 16) | (channel_of(g) << 8) | channel_of(b) | kOutlineColour;
      } else {
        frame[c] = ((static_cast<std::uint32_t>(r) << 8) & 0xFF0000u) |
                   (static_cast<std::uint32_t>(g) & 0xFF00u) |
                   (static_cast<std::uint32_t>(b) >> kFracBits) | kOutlineColour;
      }
    }
    z += dz;
    r += dr;
    g += dg;
    b += db;
  }
}

// The rows whose colours leave 0..255 somewhere (steps overshooting a row narrower than its pixel
// count), out of the way of the common ones.
[[gnu::noinline]] void fill_clamped(std::uint32_t* frame, std::uint16_t* depth, std::int32_t c0,
                                    std::int32_t c1, const SpanValues& v) noexcept {
  fill<true>(frame, depth, c0, c1, static_cast<std::int32_t>(v.z), static_cast<std::int32_t>(v.r),
             static_cast<std::int32_t>(v.g), static_cast<std::int32_t>(v.b),
             static_cast<std::int32_t>(v.dz), static_cast<std::int32_t>(v.dr),
             static_cast<std::int32_t>(v.dg), static_cast<std::int32_t>(v.db));
}

constexpr Fixed kLowestKeptDepth = Fixed{1} << kFracBits;  // depth 1 in fixed point
constexpr Fixed kDepthLimit = Fixed{65536} << kFracBits;   // depth 65536: wraps to 0 in 16 bits

// first and last both in [low, limit).
inline bool within(Fixed first, Fixed last, Fixed low, Fixed limit) noexcept {
  const auto range = static_cast<std::uint64_t>(limit - low);
  return static_cast<std::uint64_t>(first - low) < range &&
         static_cast<std::uint64_t>(last - low) < range;
}

// Fills row y (0 <= y < height) between edges a and b.
template <bool kRecordRows>
void draw_span(const RenderTarget& t, std::int32_t y, const EdgeValues& a, const EdgeValues& b,
               const detail::MarkedArea& area) noexcept {
  const bool a_is_left = a.x <= b.x;
  const EdgeValues& left = a_is_left ? a : b;
  const EdgeValues& right = a_is_left ? b : a;
  const Fixed xl = left.x;
  const Fixed xr = right.x + 1;

  // Columns first: a row that draws nothing needs no steps (and its left clip could overflow).
  // Column width - 1 is never filled, so the right-end mark at c1 + 1 stays inside the row.
  const std::int64_t last = xr >> kFracBits;
  const std::int64_t c1_wide = last < t.width - 2 ? last : t.width - 2;
  const std::int64_t c0_wide = xl < 0 ? 0 : xl >> kFracBits;
  if (c1_wide <= 0 || c0_wide >= t.width - 1) return;
  const std::int32_t c0 = static_cast<std::int32_t>(c0_wide);
  const std::int32_t c1 = static_cast<std::int32_t>(c1_wide);
  const std::int32_t steps = c1 - c0;

  // The four per-pixel steps ((right - left) * 256) / w share one divisor. A one-pixel row uses
  // none: it starts at its left end (c0 = c1 >= 1 there, so xl >= 0 and nothing clips), and its
  // steps are left at 0 so that nothing it adds past its pixel can leave 32 bits.
  const detail::ExactQuotient per_pixel(xr - xl);
  const bool stepping = steps > 0;
  SpanValues v{left.z,
               left.r,
               left.g,
               left.b,
               stepping ? per_pixel((right.z - left.z) * kFixedOne) : 0,
               stepping ? per_pixel((right.r - left.r) * kFixedOne) : 0,
               stepping ? per_pixel((right.g - left.g) * kFixedOne) : 0,
               stepping ? per_pixel((right.b - left.b) * kFixedOne) : 0};
  if (xl < 0) {
    // Start at the values the span reaches at column 0 (c0 is already 0), not at its left end's.
    v.z -= (v.dz * xl) >> kFracBits;
    v.r -= (v.dr * xl) >> kFracBits;
    v.g -= (v.dg * xl) >> kFracBits;
    v.b -= (v.db * xl) >> kFracBits;
  }

  if constexpr (kRecordRows) {
    // The recorded rows stand for the outline only if every pixel of the row ends with a depth
    // above 0 and no fill can take one back to 0: the row's depths, linear in the column, must
    // lie in 1..65535 at both ends. Other rows (a corner at z = 1 or beyond z = 65536, or steps
    // overshooting a row narrower than a pixel) mark as they go, after the marks recorded so far
    // are applied if this row could leave a filled pixel at depth 0 (a depth of 65536 or more
    // wraps), so that no recorded mark lands after such a fill.
    const Fixed z_last = v.z + steps * v.dz;
    if (within(v.z, z_last, kLowestKeptDepth, kDepthLimit)) {
      detail::cover_span(*t.outline, y, c0, c1);
      const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(t.width);
      // Every channel within 0..255 at both ends: no bit above the 16 of 255 * 256 + 255.
      const Fixed ends =
          v.r | v.g | v.b | (v.r + steps * v.dr) | (v.g + steps * v.dg) | (v.b + steps * v.db);
      if ((ends >> 16) == 0) {
        fill<false>(t.frame + row, t.depth + row, c0, c1, static_cast<std::int32_t>(v.z),
                    static_cast<std::int32_t>(v.r), static_cast<std::int32_t>(v.g),
                    static_cast<std::int32_t>(v.b), static_cast<std::int32_t>(v.dz),
                    static_cast<std::int32_t>(v.dr), static_cast<std::int32_t>(v.dg),
                    static_cast<std::int32_t>(v.db));
      } else {
        fill_clamped(t.frame + row, t.depth + row, c0, c1, v);
      }
      return;
    }
    if (v.z >= kDepthLimit || z_last >= kDepthLimit) {
      apply_outline(t);
      detail::claim(*t.outline, area);  // for the triangle's rows still to come
    }
  }
  fill_and_mark(t, y, c0, c1, v);
}

// Rows [y_begin, y_end) of one half. Rows above the frame are stepped over in one go (n steps are
// the same as n additions); a row at or below the frame's bottom ends the whole triangle, signalled
// by returning false.
template <bool kRecordRows>
bool walk_half(const RenderTarget& t, std::int64_t y_begin, std::int64_t y_end, EdgeValues a,
               const EdgeValues a_step, EdgeValues b, const EdgeValues b_step,
               const detail::MarkedArea& area) noexcept {
  std::int64_t y = y_begin;
  if (y < 0) {
    const std::int64_t skipped = (y_end < 0 ? y_end : 0) - y;
    advance(a, a_step, skipped);
    advance(b, b_step, skipped);
    y += skipped;
  }
  for (; y < y_end; ++y) {
    if (y >= t.height) return false;
    draw_span<kRecordRows>(t, static_cast<std::int32_t>(y), a, b, area);
    advance(a, a_step, 1);
    advance(b, b_step, 1);
  }
  return true;
}

// Sorts the projected corners by row, turns them into screen records and fills the triangle.
template <bool kRecordRows>
void fill_triangle(const RenderTarget& t, ProjectedCorner p0, ProjectedCorner p1,
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
        static_cast<std::uint32_t>(detail::trunc_to_int32(p.depth * kDepthScale)) & 0xFFFFu;
    return ScreenCorner{std::int64_t{detail::trunc_to_int32(p.sx)} + h.hw,
                        std::int64_t{detail::trunc_to_int32(p.sy)} + h.hh,
                        std::int64_t{depth16},
                        std::int64_t{(p.colour >> 16) & 255u},
                        std::int64_t{(p.colour >> 8) & 255u},
                        std::int64_t{p.colour & 255u}};
  };
  const ScreenCorner s0 = screen(p0), s1 = screen(p1), s2 = screen(p2);
  if (s2.y == s0.y) return;

  // What the triangle's rows may cover, claimed for the outline marks up front: rows Y0..Y2 - 1
  // within the frame, and the columns of its corners with two to spare on each side (an edge's x
  // stays between its corners' but for the lower half's long edge, whose truncated restart can
  // stand a column outside).
  detail::MarkedArea area{};
  if constexpr (kRecordRows) {
    constexpr std::int64_t kSpareColumns = 2;
    const std::int64_t min_x = std::min({s0.x, s1.x, s2.x}) - kSpareColumns;
    const std::int64_t max_x = std::max({s0.x, s1.x, s2.x}) + kSpareColumns;
    const std::int64_t last_column = t.width - 2;
    area = {static_cast<std::ptrdiff_t>(s0.y > 0 ? s0.y : 0),
            static_cast<std::ptrdiff_t>(s2.y < t.height ? s2.y - 1 : t.height - 1),
            static_cast<std::ptrdiff_t>((min_x > 0 ? min_x : 0) >> detail::kWordShift),
            static_cast<std::ptrdiff_t>((max_x < last_column ? (max_x > 0 ? max_x : 0)
                                         : last_column > 0   ? last_column
                                                             : 0) >>
                                        detail::kWordShift)};
    detail::claim(*t.outline, area);
  }

  // Edge B, the long one from corner 0 to corner 2, keeps its steps for both halves.
  const std::int64_t rows = s2.y - s0.y;
  const EdgeValues b_step = step_between(s0, s2);
  EdgeValues b = values_at(s0);

  if (s1.y > s0.y) {
    const EdgeValues a = values_at(s0);
    if (!walk_half<kRecordRows>(t, s0.y, s1.y, a, step_between(s0, s1), b, b_step, area)) return;
  }
  if (s2.y > s1.y) {
    // B restarts at row Y1 from the corners rather than from where the upper half left it. x and
    // depth are divided before they are scaled, so their fraction is dropped; each colour is the
    // sum of two separately truncated quotients.
    const std::int64_t upper = s1.y - s0.y, lower = s2.y - s1.y;
    b.x = detail::mix_truncated(s2.x, upper, s0.x, lower) * kFixedOne;
    // The numerators stay below 65536 * rows and 256 * 256 * rows, within 2^49.
    const detail::ExactQuotient per_rows(rows);
    b.z = per_rows(s2.z * upper + s0.z * lower) * kFixedOne;
    b.r = per_rows(s0.r * lower * kFixedOne) + per_rows(s2.r * upper * kFixedOne);
    b.g = per_rows(s0.g * lower * kFixedOne) + per_rows(s2.g * upper * kFixedOne);
    b.b = per_rows(s0.b * lower * kFixedOne) + per_rows(s2.b * upper * kFixedOne);
    walk_half<kRecordRows>(t, s1.y, s2.y, values_at(s1), step_between(s1, s2), b, b_step, area);
  }
}

// Sorts the projected corners by row, turns them into screen records and fills the triangle,
// recording its rows for the outline where the target collects them.
void scan_convert(const RenderTarget& t, const ProjectedCorner& p0, const ProjectedCorner& p1,
                  const ProjectedCorner& p2) noexcept {
  if (t.outline != nullptr) {
    fill_triangle<true>(t, p0, p1, p2);
  } else {
    fill_triangle<false>(t, p0, p1, p2);
  }
}

}  // namespace

void draw_triangle(const RenderTarget& target, const MeshVertex& c0, const MeshVertex& c1,
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

void draw_triangle(const RenderTarget& target, const MeshVertex& c0, const MeshVertex& c1,
                   const MeshVertex& c2, const FaceNormalRules& rules) noexcept {
  if (!target_usable(target) || !beyond_near_limit(c0, c1, c2)) return;
  if (rules.face_normal.z < kFaceAwayLimit) return;

  const double k = static_cast<double>(halves_of(target).m);
  scan_convert(target, project(c0, k, target), project(c1, k, target), project(c2, k, target));
}

}  // namespace render3d
