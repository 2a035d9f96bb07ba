// The rasterizer against pixels worked out by hand, and its row, column, outline, clipping, depth
// and rejection rules.

#include "render3d/rasterizer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "canvas.hpp"

namespace {

using r3dtest::Canvas;
using r3dtest::kHostColour;
using r3dtest::kOutline;
using r3dtest::vertex;
using render3d::FaceNormalRules;
using render3d::MeshVertex;
using render3d::ViewFacingRules;

// The 20 x 16 frame most tests draw into: hw = 10, hh = 8, m = 8.
constexpr std::int32_t kWidth = 20;
constexpr std::int32_t kHeight = 16;

// A corner that lands exactly on screen column X, row Y. With m = 8 and z a power of two the
// projection scale 8 / z is a power of two too, so the camera-space values are exact.
MeshVertex at(int X, int Y, double z, std::uint32_t colour = 0x405060u) {
  const double scale = 8.0 / z;
  return vertex((X - 10) / scale, (Y - 8) / scale, z, colour);
}

void draw_blob(Canvas& c, const MeshVertex& a, const MeshVertex& b, const MeshVertex& d,
               double normal_z = 0.0) {
  render3d::draw_triangle(c.target(), a, b, d, FaceNormalRules{{0.25, -0.5, normal_z}});
}

void draw_coil(Canvas& c, const MeshVertex& a, const MeshVertex& b, const MeshVertex& d,
               double zoom = 1.0) {
  render3d::draw_triangle(c.target(), a, b, d, ViewFacingRules{zoom});
}

bool row_has_fill(const Canvas& c, int y) {
  for (int x = 0; x < c.width(); ++x)
    if (c.depth(x, y) != 0) return true;
  return false;
}

bool untouched(const Canvas& c) {
  const Canvas fresh(c.width(), c.height());
  return c.frame_words() == fresh.frame_words() && c.depth_words() == fresh.depth_words();
}

TEST(RasterGolden, HandWorkedTriangle) {
  // P0 (4, 2) z 2, P1 (12, 6) z 4, P2 (6, 10) z 2: depths 32768, 16384, 32768; every channel
  // differs. Handed over out of order so that the sort has to put them back.
  Canvas c(kWidth, kHeight);
  const MeshVertex p0 = at(4, 2, 2.0, 0xC81E64u);   // 200, 30, 100
  const MeshVertex p1 = at(12, 6, 4.0, 0x1E64C8u);  // 30, 100, 200
  const MeshVertex p2 = at(6, 10, 2.0, 0x64C81Eu);  // 100, 200, 30
  draw_blob(c, p2, p0, p1);

  // Row 2, the top row: both edges at P0, span 1024..1025, one pixel of P0's colour | 0x010101,
  // marked on three sides (the fourth, below, is filled by row 3).
  EXPECT_EQ(c.pixel(4, 2), 0xC91F65u);
  EXPECT_EQ(c.depth(4, 2), 32768);
  EXPECT_EQ(c.pixel(3, 2), kOutline);
  EXPECT_EQ(c.pixel(5, 2), kOutline);
  EXPECT_EQ(c.pixel(4, 1), kOutline);
  EXPECT_EQ(c.pixel(4, 0), kHostColour);

  // Row 3: A (P0 -> P1, 4 rows) at x 1536, B (P0 -> P2, 8 rows) at 1088, so B is the left edge;
  // w = 449. Steps: z -1048576*256/449 = -597851, r -7680*256/449 = -4378, g -960*256/449 = -547,
  // b 8640*256/449 = 4926. Left values z 8388608, r 48000, g 13120, b 23360.
  EXPECT_EQ(c.pixel(4, 3), 0xBB335Bu);  // 187, 51, 91
  EXPECT_EQ(c.depth(4, 3), 32768);
  EXPECT_EQ(c.pixel(5, 3), 0xAB316Fu);  // 43622 >> 8 = 170 | 1, 12573 -> 49, 28286 -> 110 | 1
  EXPECT_EQ(c.depth(5, 3), 30432);      // 7790757 >> 8
  EXPECT_EQ(c.pixel(6, 3), 0x992F81u);  // 39244 -> 153, 12026 -> 46 | 1, 33212 -> 129
  EXPECT_EQ(c.depth(6, 3), 28097);      // 7192906 >> 8
  EXPECT_EQ(c.pixel(3, 3), kOutline);
  EXPECT_EQ(c.pixel(7, 3), kOutline);

  // Row 6, first of the lower half: A restarts at P1 (x 3072); B is recomputed at x 5 * 256,
  // z 8388608, r 25600 + 12800, g 3840 + 25600, b 12800 + 3840. w = 1793: steps z -598852,
  // r -4386, g -548, b 4934.
  EXPECT_EQ(c.pixel(5, 6), 0x977341u);  // 150 | 1, 115, 65
  EXPECT_EQ(c.depth(5, 6), 32768);
  EXPECT_EQ(c.pixel(6, 6), 0x857155u);  // 34014 -> 132 | 1, 28892 -> 112 | 1, 21574 -> 84 | 1
  EXPECT_EQ(c.depth(6, 6), 30428);      // 7789756 >> 8

  // Row 10 = Y2 is never filled by the triangle; P2's own pixel is only marked from row 9.
  EXPECT_FALSE(row_has_fill(c, 10));
  EXPECT_EQ(c.pixel(6, 10), kOutline);
  EXPECT_TRUE(row_has_fill(c, 9));
  EXPECT_TRUE(c.guards_intact());
}

TEST(RasterRows, FlatTopDrawsOnlyTheLowerHalf) {
  Canvas c(kWidth, kHeight);
  draw_blob(c, at(3, 4, 2.0), at(14, 4, 2.0), at(8, 11, 2.0));
  EXPECT_FALSE(row_has_fill(c, 3));
  for (int y = 4; y <= 10; ++y) EXPECT_TRUE(row_has_fill(c, y)) << "row " << y;
  EXPECT_FALSE(row_has_fill(c, 11));
  // The top row runs from the first corner to the second.
  EXPECT_NE(c.depth(3, 4), 0);
  EXPECT_NE(c.depth(14, 4), 0);
}

TEST(RasterRows, FlatBottomDrawsOnlyTheUpperHalf) {
  Canvas c(kWidth, kHeight);
  draw_blob(c, at(8, 3, 2.0), at(3, 9, 2.0), at(15, 9, 2.0));
  EXPECT_FALSE(row_has_fill(c, 2));
  for (int y = 3; y <= 8; ++y) EXPECT_TRUE(row_has_fill(c, y)) << "row " << y;
  EXPECT_FALSE(row_has_fill(c, 9));
  EXPECT_EQ(c.pixel(8, 9), kOutline);
}

TEST(RasterRows, CornersTruncatingToOneRowDrawNothing) {
  // sy = 1.25, 1.5, 1.75: three different offsets, one row (Y = 9); not even an outline is drawn.
  Canvas c(kWidth, kHeight);
  draw_blob(c, vertex(-1.0, 0.3125, 2.0), vertex(2.0, 0.375, 2.0), vertex(0.5, 0.4375, 2.0));
  EXPECT_TRUE(untouched(c));
}

TEST(RasterColumns, LastColumnIsOnlyEverMarked) {
  Canvas c(kWidth, kHeight);
  // Reaches far beyond the right border: every row is cut at column width - 2.
  draw_blob(c, at(12, 2, 2.0, 0x000000u), at(40, 6, 2.0, 0xFFFFFFu), at(12, 13, 2.0, 0x808080u));
  for (int y = 0; y < kHeight; ++y) {
    EXPECT_EQ(c.depth(kWidth - 1, y), 0) << "row " << y;
    const std::uint32_t p = c.pixel(kWidth - 1, y);
    EXPECT_TRUE(p == kHostColour || p == kOutline) << "row " << y;
  }
  EXPECT_NE(c.depth(kWidth - 2, 6), 0);
  EXPECT_EQ(c.pixel(kWidth - 1, 6), kOutline);
  EXPECT_TRUE(c.guards_intact());
}

TEST(RasterColumns, SpanEndingInColumnZeroIsNotFilled) {
  // The rightmost corner is at X = 0, so every span ends in column 0 or left of it.
  Canvas c(kWidth, kHeight);
  draw_blob(c, at(-6, 2, 2.0), at(0, 6, 2.0), at(-10, 12, 2.0));
  EXPECT_TRUE(untouched(c));
}

TEST(RasterRows, LastRowIsFilledButNeverMarkedFromAbove) {
  Canvas reaching(kWidth, kHeight);
  draw_blob(reaching, at(5, 10, 2.0), at(15, 12, 2.0), at(8, 30, 2.0));
  EXPECT_TRUE(row_has_fill(reaching, kHeight - 1));

  // Last filled row is height - 2: it marks the row above, and nothing in the row below.
  Canvas ending(kWidth, kHeight);
  draw_blob(ending, at(5, 9, 2.0), at(15, 11, 2.0), at(9, 15, 2.0));
  EXPECT_TRUE(row_has_fill(ending, kHeight - 2));
  for (int x = 0; x < kWidth; ++x) EXPECT_EQ(ending.pixel(x, kHeight - 1), kHostColour) << x;
  EXPECT_TRUE(ending.guards_intact());
}

TEST(RasterOutline, EmptyNeighboursOfTheFillEndAsExactlyTheOutline) {
  Canvas c(kWidth, kHeight);
  draw_blob(c, at(7, 3, 2.0, 0x123456u), at(16, 8, 4.0, 0x654321u), at(4, 12, 2.0, 0xA0B0C0u));
  const auto filled = [&c](int x, int y) {
    return x >= 0 && y >= 0 && x < kWidth && y < kHeight && c.depth(x, y) != 0;
  };
  int marks = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if (filled(x, y)) continue;
      const bool touches =
          filled(x - 1, y) || filled(x + 1, y) || filled(x, y - 1) || filled(x, y + 1);
      EXPECT_EQ(c.pixel(x, y), touches ? kOutline : kHostColour) << x << "," << y;
      marks += touches;
    }
  }
  EXPECT_GT(marks, 20);
}

TEST(RasterOutline, LitBlackPixelReadsAsTheOutlineColour) {
  Canvas c(kWidth, kHeight);
  draw_blob(c, at(7, 3, 2.0, 0), at(16, 8, 2.0, 0), at(4, 12, 2.0, 0));
  EXPECT_EQ(c.pixel(9, 7), kOutline);
  EXPECT_EQ(c.depth(9, 7), 32768);
}

TEST(RasterClip, LeftBorderStartsFromTheValuesReachedAtColumnZero) {
  // Flat top from P0 (-6, 2) to P1 (10, 2): row 2 spans x -1536 .. 2561, w = 4097, left edge B with
  // P0's values (B is recomputed from corner 0 alone when the upper half is empty).
  // Steps: r 255*65536/4097 = 4079, g 160*65536/4097 = 2559, b -240*65536/4097 = -3839,
  // z -16384*65536/4097 = -262080. At column 0 each start moves by -(step * -1536) >> 8 = 6 steps.
  Canvas c(kWidth, kHeight);
  draw_blob(c, at(-6, 2, 2.0, 0x0028FAu), at(10, 2, 4.0, 0xFFC80Au), at(-6, 10, 2.0, 0x0028FAu));
  EXPECT_EQ(c.pixel(0, 2), 0x5F63A1u);  // r 24474 -> 95, g 25594 -> 99, b 40966 -> 160 | 1
  EXPECT_EQ(c.depth(0, 2), 26625);      // 8388608 - 1572480 = 6816128 >> 8
  EXPECT_EQ(c.pixel(1, 2), 0x6F6D91u);  // r 28553 -> 111, g 28153 -> 109, b 37127 -> 145
  EXPECT_EQ(c.depth(1, 2), 25601);
  // The left end's own values would have given 0x0129FB at depth 32768.
}

TEST(RasterDepth, FirstOfEqualDepthsKeepsThePixel) {
  // (8, 5) lies in the upper half, where a one-colour triangle keeps its colour exactly.
  Canvas c(kWidth, kHeight);
  draw_blob(c, at(3, 2, 2.0, 0x102030u), at(16, 7, 2.0, 0x102030u), at(6, 13, 2.0, 0x102030u));
  draw_blob(c, at(3, 2, 2.0, 0xF0E0D0u), at(16, 7, 2.0, 0xF0E0D0u), at(6, 13, 2.0, 0xF0E0D0u));
  EXPECT_EQ(c.pixel(8, 5), 0x112131u);
  // A farther triangle loses, a nearer one wins.
  draw_blob(c, at(3, 2, 4.0, 0xF0E0D0u), at(16, 7, 4.0, 0xF0E0D0u), at(6, 13, 4.0, 0xF0E0D0u));
  EXPECT_EQ(c.pixel(8, 5), 0x112131u);
  draw_blob(c, at(3, 2, 1.5, 0xF0E0D0u), at(16, 7, 1.5, 0xF0E0D0u), at(6, 13, 1.5, 0xF0E0D0u));
  EXPECT_EQ(c.pixel(8, 5), 0xF1E1D1u);
  EXPECT_EQ(c.depth(8, 5), 43690);  // trunc(65536 / 1.5)
}

TEST(RasterReject, CornerNearerThanOneRejects) {
  for (const bool coil : {false, true}) {
    Canvas c(kWidth, kHeight);
    const MeshVertex near = vertex(0.0, 0.0, 0.999);
    if (coil)
      draw_coil(c, near, at(16, 8, 2.0), at(4, 12, 2.0));
    else
      draw_blob(c, at(16, 8, 2.0), near, at(4, 12, 2.0));
    EXPECT_TRUE(untouched(c)) << coil;
  }
}

TEST(RasterReject, CornerAtExactlyOneIsPlacedAFrameUpAndLeftAtDepthZero) {
  // The z = 1 corner lands at X = -20 + 10, Y = -16 + 8 with Z = 0, whatever its x and y. With
  // P1 (30, -8) and P2 (-10, 24) the triangle is a flat top over rows -8 .. 23: at row 0 the left
  // edge B (from the z = 1 corner down to P2) is at x -2560 with z 8 * 262144, the right edge at
  // 5120; w = 7681, z step 6291456*256/7681 = 209687, 10 steps to column 0.
  Canvas c(kWidth, kHeight);
  const std::uint32_t colour = 0x3C5A78u;
  draw_blob(c, vertex(0.75, -0.5, 1.0, colour), at(30, -8, 2.0, colour), at(-10, 24, 2.0, colour));
  EXPECT_EQ(c.pixel(0, 0), 0x3D5B79u);
  EXPECT_EQ(c.depth(0, 0), 16382);  // 4194022 >> 8
  EXPECT_EQ(c.depth(5, 0), 20478);  // (4194022 + 5 * 209687) >> 8
  EXPECT_EQ(c.pixel(kWidth - 1, 0), kOutline);
  EXPECT_TRUE(c.guards_intact());
}

TEST(RasterReject, ViewFacingRangeIsHalfOpen) {
  // z = 8 and zoom 1: offsets equal camera x and y; 3 hw = 30, 3 hh = 24.
  const MeshVertex b = vertex(0.0, 0.0, 8.0, 0x804020u), d = vertex(0.0, 6.0, 8.0, 0x804020u);
  const auto drawn = [&](double x, double y) {
    Canvas c(kWidth, kHeight);
    draw_coil(c, vertex(x, y, 8.0, 0x804020u), b, d);
    EXPECT_TRUE(c.guards_intact());
    return !untouched(c);
  };
  EXPECT_FALSE(drawn(30.0, 3.0));
  EXPECT_TRUE(drawn(std::nextafter(30.0, 0.0), 3.0));
  EXPECT_TRUE(drawn(-30.0, 3.0));
  EXPECT_FALSE(drawn(std::nextafter(-30.0, -31.0), 3.0));
  EXPECT_FALSE(drawn(-5.0, 24.0));
  EXPECT_TRUE(drawn(-5.0, -24.0));
  // The face-normal rule has no range test.
  Canvas c(kWidth, kHeight);
  draw_blob(c, vertex(30.0, 3.0, 8.0), b, d);
  EXPECT_FALSE(untouched(c));
}

TEST(RasterReject, ViewFacingSumAtFifteenIsDrawn) {
  // S = (3, 4, 32); the summed normals T decide.
  const auto drawn = [](render3d::Vec3 t) {
    Canvas c(kWidth, kHeight);
    draw_coil(c, vertex(0.0, 0.0, 8.0, 0x111111u, t), vertex(3.0, 0.0, 8.0),
              vertex(0.0, 4.0, 16.0));
    return !untouched(c);
  };
  EXPECT_TRUE(drawn({0.0, 0.0, 15.0 / 32.0}));
  EXPECT_FALSE(drawn({0.0, 0.0, std::nextafter(15.0 / 32.0, 1.0)}));
  EXPECT_TRUE(drawn({5.0, 0.0, 0.0}));
  EXPECT_FALSE(drawn({5.0, 0.0, 1e-9}));
  // Summed y term first, then z, then x: 2^53 - 2^53 + 15 = 15 is drawn, although x first would
  // round 15 + 2^53 up to 2^53 + 16 and turn the triangle away.
  const double two53 = 9007199254740992.0;
  EXPECT_TRUE(drawn({5.0, two53 / 4.0, -two53 / 32.0}));
}

TEST(RasterReject, FaceNormalBelowMinusPointThreeRejects) {
  const auto drawn = [](double nz) {
    Canvas c(kWidth, kHeight);
    draw_blob(c, at(7, 3, 2.0), at(16, 8, 2.0), at(4, 12, 2.0), nz);
    return !untouched(c);
  };
  EXPECT_TRUE(drawn(-0.3));
  EXPECT_FALSE(drawn(-0.3000001));
  EXPECT_TRUE(drawn(-0.2));
}

TEST(RasterZoom, ViewFacingScaleIsZoomTimesHalfFrame) {
  Canvas zoomed(kWidth, kHeight), plain(kWidth, kHeight);
  draw_coil(zoomed, vertex(-1.5, -2.5, 2.0, 0x123456u), vertex(3.0, 0.5, 4.0, 0x789ABCu),
            vertex(-2.0, 2.0, 2.0, 0xFEDCBAu), 0.5);
  draw_blob(plain, vertex(-0.75, -1.25, 2.0, 0x123456u), vertex(1.5, 0.25, 4.0, 0x789ABCu),
            vertex(-1.0, 1.0, 2.0, 0xFEDCBAu));
  EXPECT_FALSE(untouched(plain));
  EXPECT_EQ(zoomed.frame_words(), plain.frame_words());
  EXPECT_EQ(zoomed.depth_words(), plain.depth_words());
}

TEST(RasterRestart, LowerHalfLongEdgeIsRecomputedFromTheCorners) {
  // P0 (2, 1), P1 (12, 4), P2 (5, 10): the long edge is on the left. Stepping it down from P0 would
  // reach x 512 + 3 * (768 / 9) = 767 (column 2) at row 4; recomputed from the corners it is
  // (5 * 3 + 2 * 6) / 9 = 3 whole pixels, so row 4 starts in column 3 and (2, 4) stays a mark.
  // Each channel is (C * 6 * 256) / 9 + (C * 3 * 256) / 9: for 16 that is 2730 + 1365 = 4095, for
  // 32 5461 + 2730 = 8191 (one 256th short of the colour), for 48 exactly 8192 + 4096.
  Canvas c(kWidth, kHeight);
  const std::uint32_t colour = 0x102030u;
  draw_blob(c, at(2, 1, 2.0, colour), at(12, 4, 2.0, colour), at(5, 10, 2.0, colour));
  EXPECT_NE(c.depth(2, 3), 0);
  EXPECT_EQ(c.pixel(2, 3), 0x112131u);  // upper half: the colour itself
  EXPECT_EQ(c.depth(2, 4), 0);
  EXPECT_EQ(c.pixel(2, 4), kOutline);
  EXPECT_EQ(c.pixel(3, 4), 0x0F1F31u);
  EXPECT_EQ(c.depth(3, 4), 32768);
}

TEST(RasterWide, TriangleOverSeventyThousandRowsKeepsItsDepth) {
  // Corner 0 is 72000 rows above a 64 x 48 frame. Recomputing the long edge at row Y1 takes
  // Z * 71988 and C * 71988 * 256, both beyond 32 bits. With equal depths and colours every filled
  // pixel carries the corners' depth exactly, and each channel either exactly or one short (the
  // recomputed edge's colour is the sum of two truncated quotients). m = 24 and z = 2 give offsets
  // 12 x and 12 y.
  Canvas c(64, 48);
  const std::uint32_t colour = 0x2468ACu;
  draw_blob(c, vertex(0.5, -6000.0, 2.0, colour), vertex(2.0, -1.0, 2.0, colour),
            vertex(-1.5, 3.0, 2.0, colour));
  int filled = 0;
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 64; ++x) {
      if (c.depth(x, y) == 0) continue;
      ++filled;
      EXPECT_EQ(c.depth(x, y), 32768) << x << "," << y;
      for (const int shift : {16, 8, 0}) {
        const std::uint32_t got = (c.pixel(x, y) >> shift) & 255u, want = (colour >> shift) & 255u;
        EXPECT_TRUE(got == (want | 1u) || got == ((want - 1u) | 1u))
            << x << "," << y << ": " << got;
      }
    }
  }
  EXPECT_GT(filled, 100);
  EXPECT_TRUE(c.guards_intact());
}

TEST(RasterWide, CornersBeyondThirtyTwoBitsCoverTheFrame) {
  // Offsets saturate to 32 bits; the corners end some 2^31 pixels out, so the long edge's restart
  // products pass 2^63 (the exact wide path). The triangle contains the whole frame.
  Canvas c(kWidth, kHeight);
  const std::uint32_t colour = 0x13579Bu;
  draw_blob(c, vertex(0.0, -1e12, 4.0, colour), vertex(1e12, 0.0, 4.0, colour),
            vertex(-1e12, 1e12, 4.0, colour));
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth - 1; ++x) {
      EXPECT_EQ(c.depth(x, y), 16384) << x << "," << y;
      EXPECT_EQ(c.pixel(x, y), colour | kOutline) << x << "," << y;
    }
    EXPECT_EQ(c.pixel(kWidth - 1, y), kOutline);
  }
  EXPECT_TRUE(c.guards_intact());
}

TEST(RasterFrame, NeverWritesOutsideTheFrame) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double big[] = {0.0, 0.4, -0.6, 3.0, -7.0, 1e6, -1e6, 1e300, -1e300, inf, -inf, nan};
  const double depths[] = {1.0, 1.0000001, 2.0, 1e300, inf, nan};
  const std::int32_t sizes[][2] = {{1, 1}, {2, 2}, {3, 3}, {1, 7}, {7, 1}, {5, 4}, {20, 16}};
  int drawn = 0;
  for (const auto& size : sizes) {
    for (int i = 0; i < 400; ++i) {
      // A fixed walk through the combinations (no randomness needed).
      const auto pick = [&](int salt, const auto& set) {
        const int n = static_cast<int>(sizeof(set) / sizeof(set[0]));
        return set[(i * (salt * 7 + 3) + salt * salt) % n];
      };
      const MeshVertex a = vertex(pick(1, big), pick(2, big), pick(3, depths), 0xFFFFFFu);
      const MeshVertex b = vertex(pick(4, big), pick(5, big), pick(6, depths), 0x7F7F7Fu);
      const MeshVertex d = vertex(pick(7, big) * 0.5, pick(8, big) * 0.25, 2.0, 0x010203u);
      Canvas c(size[0], size[1]);
      draw_blob(c, a, b, d);
      draw_coil(c, d, a, b, i % 3 == 0 ? 1e300 : 1.0);
      drawn += !untouched(c);
      ASSERT_TRUE(c.guards_intact()) << size[0] << "x" << size[1] << " case " << i;
    }
  }
  EXPECT_GT(drawn, 0);
}

TEST(RasterFrame, MissingBuffersDrawNothing) {
  render3d::RenderTarget none{nullptr, nullptr, kWidth, kHeight};
  render3d::draw_triangle(none, at(7, 3, 2.0), at(16, 8, 2.0), at(4, 12, 2.0), FaceNormalRules{});
  Canvas c(kWidth, kHeight);
  render3d::RenderTarget empty = c.target();
  empty.height = 0;
  render3d::draw_triangle(empty, at(7, 3, 2.0), at(16, 8, 2.0), at(4, 12, 2.0),
                          ViewFacingRules{1.0});
  EXPECT_TRUE(untouched(c));
}

}  // namespace
