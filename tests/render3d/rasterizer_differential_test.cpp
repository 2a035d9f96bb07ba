// The rasterizer against the scan converter it replaced (reference_rasterizer.cpp), on many
// thousands of random triangles in every class of frame size and on whole lit meshes. Each scene is
// drawn three ways: by the reference, triangle by triangle, each marking its own outline; by the
// rasterizer into a target without outline marks, triangle by triangle; and by the rasterizer as
// one mesh, the rows recorded and the outline put down once at the end. Frames and depth buffers,
// guard bands included, must come out identical, and the recorded marks empty again.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "canvas.hpp"
#include "reference_rasterizer.hpp"
#include "render3d/outline_marks.hpp"
#include "render3d/rasterizer.hpp"
#include "render3d/shading.hpp"

namespace {

using r3dtest::Canvas;
using r3dtest::vertex;
using r3dtest::reference::draw_triangle_reference;
using render3d::FaceNormalRules;
using render3d::MeshVertex;
using render3d::Vec3;
using render3d::ViewFacingRules;

// Outline marks sized for a canvas.
class Marks {
 public:
  Marks(std::int32_t width, std::int32_t height)
      : words_(static_cast<std::size_t>((width + 63) / 64) * static_cast<std::size_t>(height)) {
    marks_.words = words_.data();
    marks_.words_per_row = (width + 63) / 64;
  }
  render3d::OutlineMarks* get() { return &marks_; }
  bool empty() const {
    if (marks_.last_row >= 0) return false;
    for (const std::uint64_t w : words_)
      if (w != 0) return false;
    return true;
  }

 private:
  std::vector<std::uint64_t> words_;
  render3d::OutlineMarks marks_;
};

// One triangle with the rules of one of the two effects.
struct Triangle {
  MeshVertex a, b, c;
  bool coil;
  double zoom;       // coil
  Vec3 face_normal;  // blob
};

void draw_new(const render3d::RenderTarget& t, const Triangle& s) {
  if (s.coil) {
    render3d::draw_triangle(t, s.a, s.b, s.c, ViewFacingRules{s.zoom});
  } else {
    render3d::draw_triangle(t, s.a, s.b, s.c, FaceNormalRules{s.face_normal});
  }
}

void draw_reference(const render3d::RenderTarget& t, const Triangle& s) {
  if (s.coil) {
    draw_triangle_reference(t, s.a, s.b, s.c, ViewFacingRules{s.zoom});
  } else {
    draw_triangle_reference(t, s.a, s.b, s.c, FaceNormalRules{s.face_normal});
  }
}

// Random triangles for one frame size, from every family that has caught a scan converter out:
// corners at z exactly 1, a hair above 1 and far away (depth 0 after truncation), corners on
// whole pixels (equal rows and columns, flat tops and bottoms), slivers and one-pixel triangles,
// triangles reaching past every border and far beyond the frame, and huge ones.
class TriangleSource {
 public:
  TriangleSource(std::uint32_t seed, std::int32_t width, std::int32_t height)
      : rng_(seed), hw_(width / 2), hh_(height / 2), m_(std::min(width / 2, height / 2)) {}

  Triangle next() {
    Triangle t{};
    t.coil = bit();
    t.zoom = t.coil ? 0.5 + 0.25 * static_cast<double>(rng_() % 4) : 1.0;
    const double k = (t.coil ? t.zoom : 1.0) * std::max(m_, 1);
    // A centre on or around the frame, then three corners near it (a sliver, a small triangle, a
    // frame-sized or a huge one).
    const int family = static_cast<int>(rng_() % 10);
    const double spread = family < 2   ? 1.5
                          : family < 6 ? 12.0
                          : family < 9 ? 0.8 * std::max(hw_, hh_) + 2.0
                                       : 40.0 * std::max(hw_, hh_) + 50.0;
    const double cx = uniform(-1.3, 1.3) * hw_, cy = uniform(-1.3, 1.3) * hh_;
    const bool on_pixels = rng_() % 3 == 0;
    MeshVertex* corners[3] = {&t.a, &t.b, &t.c};
    for (MeshVertex* v : corners) {
      const double z = depth();
      double sx = cx + uniform(-spread, spread), sy = cy + uniform(-spread, spread);
      if (on_pixels) sx = std::round(sx), sy = std::round(sy);
      // Camera space so that the projection lands at (sx, sy) (exactly so on pixels when z is a
      // power of two and k too).
      *v = vertex(sx * z / k, sy * z / k, z, colour(),
                  {uniform(-2.0, 2.0), uniform(-2.0, 2.0), uniform(-2.0, 2.0)});
    }
    if (rng_() % 8 == 0) t.b.position.y = t.a.position.y * t.b.position.z / t.a.position.z;
    if (rng_() % 8 == 0) t.c.position.x = t.b.position.x * t.c.position.z / t.b.position.z;
    if (rng_() % 16 == 0) t.c = t.a;  // a corner twice
    const int normal_pick = static_cast<int>(rng_() % 8);
    t.face_normal = {0.1, -0.2,
                     normal_pick == 0   ? -0.3
                     : normal_pick == 1 ? std::nextafter(-0.3, -1.0)
                                        : uniform(-0.5, 1.0)};
    return t;
  }

  std::uint32_t colour() {
    // Saturated channels are common in lit meshes (highlights), so are zero channels.
    const auto channel = [this] {
      const int pick = static_cast<int>(rng_() % 6);
      return pick == 0 ? 0u : pick == 1 ? 255u : static_cast<std::uint32_t>(rng_() % 256);
    };
    return (channel() << 16) | (channel() << 8) | channel();
  }

  std::mt19937& rng() { return rng_; }

 private:
  bool bit() { return (rng_() & 1u) != 0; }
  double uniform(double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(rng_);
  }

  double depth() {
    switch (rng_() % 12) {
      case 0:
        return 1.0;  // depth wraps to 0, placed a frame up-left
      case 1:
        return std::nextafter(1.0, 2.0);  // depth 65535
      case 2:
        return 1.0 + uniform(0.0, 0.02);  // near: steps beyond 16 bits
      case 3:
        return std::ldexp(1.0, static_cast<int>(rng_() % 4));  // exact projections
      case 4:
        return uniform(40000.0, 200000.0);  // depth 1 or 0
      default:
        return uniform(1.05, 30.0);
    }
  }

  std::mt19937 rng_;
  std::int32_t hw_, hh_, m_;
};

// A host image with outline-coloured, black and white pixels among random ones.
void paint_host(Canvas& c, std::mt19937& rng) {
  const render3d::RenderTarget t = c.target();
  for (std::int32_t i = 0; i < c.width() * c.height(); ++i) {
    const std::uint32_t pick = rng() % 8;
    t.frame[i] = pick == 0 ? 0x010101u : pick == 1 ? 0u : pick == 2 ? 0xFFFFFFu : rng() & 0xFFFFFFu;
  }
}

// Draws scene three ways and compares. Returns false after the first difference.
bool same_three_ways(std::int32_t width, std::int32_t height, const std::vector<Triangle>& scene,
                     std::mt19937& rng, const std::string& what) {
  Canvas reference(width, height);
  paint_host(reference, rng);
  Canvas single = reference, mesh = reference;
  Marks marks(width, height);
  render3d::RenderTarget batched = mesh.target();
  batched.outline = marks.get();
  for (const Triangle& t : scene) {
    draw_reference(reference.target(), t);
    draw_new(single.target(), t);
    draw_new(batched, t);
  }
  render3d::apply_outline(batched);

  EXPECT_TRUE(single.guards_intact() && mesh.guards_intact()) << what;
  EXPECT_TRUE(single.frame_words() == reference.frame_words()) << what << ": frame, one by one";
  EXPECT_TRUE(single.depth_words() == reference.depth_words()) << what << ": depth, one by one";
  EXPECT_TRUE(mesh.frame_words() == reference.frame_words()) << what << ": frame, as a mesh";
  EXPECT_TRUE(mesh.depth_words() == reference.depth_words()) << what << ": depth, as a mesh";
  EXPECT_TRUE(marks.empty()) << what << ": marks left behind";
  return !::testing::Test::HasFailure();
}

struct SizeClass {
  std::int32_t width, height;
  int scenes, triangles;
};

// Every class of frame size: one pixel, one column, one row, 2 x 2, odd sizes, the common video
// sizes, and very wide and very tall frames.
constexpr SizeClass kSizeClasses[] = {
    {1, 1, 150, 8},      {1, 37, 150, 8},      {53, 1, 150, 8},   {2, 2, 150, 8},
    {17, 13, 500, 12},   {31, 7, 400, 12},     {8, 40, 300, 12},  {64, 48, 200, 30},
    {640, 480, 24, 120}, {1920, 1080, 4, 120}, {4000, 3, 60, 20}, {3, 2500, 60, 20},
};

TEST(RasterDifferential, RandomTrianglesInEveryFrameSizeClass) {
  int triangles = 0;
  for (const SizeClass& size : kSizeClasses) {
    TriangleSource source(0xA11CEu + static_cast<std::uint32_t>(size.width * 7919 + size.height),
                          size.width, size.height);
    for (int s = 0; s < size.scenes; ++s) {
      std::vector<Triangle> scene;
      for (int i = 0; i < size.triangles; ++i) scene.push_back(source.next());
      triangles += size.triangles;
      const std::string what = std::to_string(size.width) + "x" + std::to_string(size.height) +
                               ", scene " + std::to_string(s);
      if (!same_three_ways(size.width, size.height, scene, source.rng(), what)) return;
    }
  }
  EXPECT_GT(triangles, 30000);
}

// Near corners make spans whose depth passes 65535 and wraps: a fill can then leave a pixel at
// depth 0, and marks that come after it (and only those) turn it into the outline. Scenes of such
// triangles on small frames, so that the wrapped fills meet marks from every side.
TEST(RasterDifferential, FillsThatWrapToDepthZeroMeetLaterMarks) {
  std::mt19937 rng(977u);
  std::uniform_real_distribution<double> near(1.0, 1.002), offset(-1.2, 1.2);
  int wrapped_fills = 0;
  for (int s = 0; s < 3000; ++s) {
    const std::int32_t width = 6 + static_cast<std::int32_t>(rng() % 20);
    const std::int32_t height = 6 + static_cast<std::int32_t>(rng() % 20);
    std::vector<Triangle> scene;
    for (int i = 0; i < 6; ++i) {
      Triangle t{};
      t.coil = false;
      t.face_normal = {0.0, 0.0, 1.0};
      MeshVertex* corners[3] = {&t.a, &t.b, &t.c};
      for (MeshVertex* v : corners) {
        const double z =
            rng() % 3 == 0 ? 1.0 + std::ldexp(1.0, -20 - static_cast<int>(rng() % 20)) : near(rng);
        *v = vertex(offset(rng) * z, offset(rng) * z, z, rng() & 0xFFFFFFu);
      }
      scene.push_back(t);
    }
    // How often the reference leaves a filled pixel at depth 0 (black host, so a fill shows).
    Canvas probe(width, height, 0u);
    for (const Triangle& t : scene) draw_reference(probe.target(), t);
    for (std::int32_t y = 0; y < height; ++y)
      for (std::int32_t c = 0; c < width; ++c)
        wrapped_fills += probe.depth(c, y) == 0 && probe.pixel(c, y) != 0u &&
                         probe.pixel(c, y) != r3dtest::kOutline;
    if (!same_three_ways(width, height, scene, rng, "near scene " + std::to_string(s))) return;
  }
  EXPECT_GT(wrapped_fills, 20);
}

// A lit, closed, bumpy surface (a sphere of latitude and longitude bands) in front of the camera:
// the kind of mesh the effects draw, faces sharing their edges, some turned away.
struct Surface {
  std::vector<MeshVertex> vertices;
  std::vector<render3d::MeshFace> faces;
};

Surface bumpy_sphere(std::mt19937& rng, double radius, Vec3 centre, int bands) {
  Surface s;
  std::uniform_real_distribution<double> bump(0.85, 1.15);
  for (int i = 0; i <= bands; ++i) {
    const double theta = 3.141592653589793 * i / bands;
    for (int j = 0; j < 2 * bands; ++j) {
      const double phi = 3.141592653589793 * j / bands;
      const double r = radius * bump(rng);
      s.vertices.push_back(vertex(centre.x + r * std::sin(theta) * std::cos(phi),
                                  centre.y + r * std::cos(theta),
                                  centre.z + r * std::sin(theta) * std::sin(phi)));
    }
  }
  const auto at = [bands](int i, int j) { return i * 2 * bands + (j % (2 * bands)); };
  for (int i = 0; i < bands; ++i) {
    for (int j = 0; j < 2 * bands; ++j) {
      s.faces.push_back({{at(i, j), at(i + 1, j), at(i, j + 1)}, {}});
      s.faces.push_back({{at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)}, {}});
    }
  }
  return s;
}

render3d::MeshView view_of(Surface& s) {
  return {s.vertices.data(), static_cast<std::int32_t>(s.vertices.size()), s.faces.data(),
          static_cast<std::int32_t>(s.faces.size())};
}

// Whole meshes drawn by draw_mesh with the outline put down at the end, against the reference
// drawing every face in turn; two meshes, each with its own depth buffer, share one frame, as two
// effects in one preset do.
TEST(RasterDifferential, WholeMeshesAndTwoEffectsInOneFrame) {
  std::mt19937 rng(4242u);
  std::uniform_real_distribution<double> unit(-1.0, 1.0), phase(0.0, 100.0);
  const std::int32_t sizes[][2] = {{640, 480}, {320, 240}, {97, 61}, {1920, 1080}, {33, 200}};
  int round = 0;
  for (const auto& size : sizes) {
    const std::int32_t width = size[0], height = size[1];
    for (int r = 0; r < (width > 1000 ? 2 : 6); ++r, ++round) {
      const bool coil = round % 2 == 0;
      const double zoom = 1.0 + 0.2 * unit(rng);
      Surface first = bumpy_sphere(rng, 2.0 + unit(rng),
                                   {unit(rng) * 2.0, unit(rng) * 2.0, 7.0 + 2.0 * unit(rng)}, 14);
      Surface second =
          bumpy_sphere(rng, 1.5, {unit(rng) * 3.0, unit(rng) * 2.0, 6.0 + unit(rng)}, 9);
      const auto rig = coil ? render3d::LightRig::kCoil : render3d::LightRig::kBlob;
      render3d::shade_mesh(view_of(first), {phase(rng), phase(rng), phase(rng)},
                           {phase(rng), phase(rng), phase(rng)}, rng() & 0xFFFFFFu, rig);
      render3d::shade_mesh(view_of(second), {phase(rng), phase(rng), phase(rng)},
                           {phase(rng), phase(rng), phase(rng)}, rng() & 0xFFFFFFu, rig);

      Canvas reference(width, height);
      paint_host(reference, rng);
      const Canvas host = reference;
      Canvas ours = reference;
      std::vector<std::uint16_t> reference_depth2(static_cast<std::size_t>(width) * height, 0);
      std::vector<std::uint16_t> our_depth2 = reference_depth2;
      Marks marks(width, height), marks2(width, height);

      const auto draw_both = [&](Surface& mesh, render3d::RenderTarget ref_target,
                                 render3d::RenderTarget our_target) {
        render3d::draw_mesh(
            view_of(mesh), our_target,
            [&](const MeshVertex& a, const MeshVertex& b, const MeshVertex& c, const Vec3& normal) {
              draw_new(our_target, {a, b, c, coil, zoom, normal});
            });
        render3d::draw_mesh(view_of(mesh), [&](const MeshVertex& a, const MeshVertex& b,
                                               const MeshVertex& c, const Vec3& normal) {
          draw_reference(ref_target, {a, b, c, coil, zoom, normal});
        });
      };
      render3d::RenderTarget our_target = ours.target();
      our_target.outline = marks.get();
      draw_both(first, reference.target(), our_target);
      render3d::RenderTarget our_second{our_target.frame, our_depth2.data(), width, height,
                                        marks2.get()};
      render3d::RenderTarget reference_second{reference.target().frame, reference_depth2.data(),
                                              width, height};
      draw_both(second, reference_second, our_second);

      const std::string what =
          std::to_string(width) + "x" + std::to_string(height) + " round " + std::to_string(r);
      EXPECT_TRUE(ours.guards_intact()) << what;
      EXPECT_TRUE(ours.frame_words() == reference.frame_words()) << what;
      EXPECT_TRUE(ours.depth_words() == reference.depth_words()) << what;
      EXPECT_TRUE(our_depth2 == reference_depth2) << what;
      EXPECT_TRUE(marks.empty() && marks2.empty()) << what;
      EXPECT_NE(ours.frame_words(), host.frame_words()) << what;
      if (HasFailure()) return;
    }
  }
}

}  // namespace
