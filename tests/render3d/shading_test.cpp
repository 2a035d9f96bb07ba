// Mesh shading: the lighting clamps and thresholds of both rigs, the light paths, face and vertex
// normals, and vertices lit by hand; and the order in which draw_mesh hands faces over.

#include "render3d/shading.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "lighting.hpp"

namespace {

using render3d::LightRig;
using render3d::MeshFace;
using render3d::MeshVertex;
using render3d::MeshView;
using render3d::Vec3;
using render3d::detail::diffuse_level;
using render3d::detail::lit_colour;
using render3d::detail::specular_level;

constexpr double kPi = std::numbers::pi;
const Vec3 kZero{0.0, 0.0, 0.0};

MeshVertex at(double x, double y, double z, std::uint32_t highlight = 0) {
  return {{x, y, z}, kZero, 0, highlight};
}

MeshFace face(int a, int b, int c) { return {{a, b, c}, kZero}; }

MeshView view_of(std::vector<MeshVertex>& v, std::vector<MeshFace>& f) {
  return {v.data(), static_cast<std::int32_t>(v.size()), f.data(),
          static_cast<std::int32_t>(f.size())};
}

void expect_vec(const Vec3& v, double x, double y, double z, double tol = 1e-12) {
  EXPECT_NEAR(v.x, x, tol);
  EXPECT_NEAR(v.y, y, tol);
  EXPECT_NEAR(v.z, z, tol);
}

TEST(LightLevels, DiffuseFloorAndCeiling) {
  EXPECT_EQ(diffuse_level(LightRig::kCoil, 64.0 / 253.0), 64u);
  EXPECT_EQ(diffuse_level(LightRig::kCoil, 0.1), 64u);
  EXPECT_EQ(diffuse_level(LightRig::kCoil, -0.9), 64u);
  EXPECT_EQ(diffuse_level(LightRig::kCoil, 65.5 / 253.0), 65u);
  EXPECT_EQ(diffuse_level(LightRig::kCoil, 0.5), 126u);  // 126.5
  EXPECT_EQ(diffuse_level(LightRig::kCoil, 1.0), 253u);
  EXPECT_EQ(diffuse_level(LightRig::kBlob, 64.0 / 453.0), 64u);
  EXPECT_EQ(diffuse_level(LightRig::kBlob, 0.2), 90u);  // 90.6
  EXPECT_EQ(diffuse_level(LightRig::kBlob, 0.5), 226u);
  EXPECT_EQ(diffuse_level(LightRig::kBlob, 1.0), 254u);
  EXPECT_EQ(diffuse_level(LightRig::kBlob, std::nan("")), 64u);
}

TEST(LightLevels, SpecularThresholdsAndHighlight) {
  // Coil: nothing below s = 0.8, 759 - 607.2 = 151.8 at s = 1.
  EXPECT_EQ(specular_level(LightRig::kCoil, 0.79, 0), 0u);
  EXPECT_EQ(specular_level(LightRig::kCoil, 0.8, 0), 0u);
  EXPECT_EQ(specular_level(LightRig::kCoil, 0.9, 0), 75u);
  EXPECT_EQ(specular_level(LightRig::kCoil, 1.0, 0), 151u);
  // The highlight is added after the clamp at 0 of the light term, and read as a signed number.
  EXPECT_EQ(specular_level(LightRig::kCoil, -1.0, 40), 40u);
  EXPECT_EQ(specular_level(LightRig::kCoil, 0.0, 255), 254u);
  EXPECT_EQ(specular_level(LightRig::kCoil, 1.0, 255), 254u);
  EXPECT_EQ(specular_level(LightRig::kCoil, 1.0, static_cast<std::uint32_t>(-100)), 51u);
  EXPECT_EQ(specular_level(LightRig::kCoil, 1.0, static_cast<std::uint32_t>(-200)), 0u);
  // Blob: nothing up to s = 0.5, 506 - 253 at s = 1.
  EXPECT_EQ(specular_level(LightRig::kBlob, 0.5, 0), 0u);
  EXPECT_EQ(specular_level(LightRig::kBlob, 0.3, 0), 0u);
  EXPECT_EQ(specular_level(LightRig::kBlob, 0.75, 0), 126u);
  EXPECT_EQ(specular_level(LightRig::kBlob, 1.0, 0), 253u);
  EXPECT_EQ(specular_level(LightRig::kBlob, std::nan(""), 0), 0u);
}

TEST(LightLevels, ChannelArithmetic) {
  // 255 at the diffuse floor: ((64 * 255) >> 8) = 63, (63 * 255) >> 8 = 62.
  EXPECT_EQ(lit_colour(64, 0, 0xFF0000u), 0x3E0000u);
  // 100 x (128, 255, 1) plus (10 * 255) >> 8 = 9 on every channel.
  EXPECT_EQ(lit_colour(100, 10, 0x80FF01u), 0x3A6B09u);
  // Saturation per channel, and the full specular term 254 -> 253.
  EXPECT_EQ(lit_colour(254, 254, 0x00FF02u), 0xFDFFFDu);
  // No colour: pure grey from the specular term.
  EXPECT_EQ(lit_colour(200, 77, 0x000000u), 0x4C4C4Cu);
}

TEST(LightPaths, CoilLightsWobbleAroundTheBody) {
  const auto lights = render3d::detail::place_lights(LightRig::kCoil, kZero, kZero);
  expect_vec(lights.first, 0.0, 0.0, 27.5);
  expect_vec(lights.second, 0.0, 0.0, 27.5);
  const double quarter = (kPi / 2) / 0.03, sixth = (kPi / 6) / 0.03;
  const auto turned = render3d::detail::place_lights(LightRig::kCoil, {quarter, -quarter, sixth},
                                                     {-quarter, sixth, quarter});
  expect_vec(turned.first, 13.0, -13.0, 34.0, 1e-9);
  expect_vec(turned.second, -15.0, 7.5, 42.5, 1e-9);
}

TEST(LightPaths, BlobLightsOrbitFarBehind) {
  const auto lights = render3d::detail::place_lights(LightRig::kBlob, kZero, kZero);
  expect_vec(lights.first, 130.0, 0.0, 230.0);
  // 350 cos 1, 350 sin 1, 20 sin 3 + 380.
  expect_vec(lights.second, 189.10580705384893, 294.51484468276378, 382.82240016119734, 1e-9);
  const auto turned =
      render3d::detail::place_lights(LightRig::kBlob, {kPi / 0.3, (kPi / 2) / 0.3, (kPi / 2) / 0.3},
                                     {1.0 / 0.311, (1.0 - kPi / 2) / 0.311, -7.5});
  expect_vec(turned.first, -130.0, 130.0, 250.0, 1e-9);
  expect_vec(turned.second, 350.0, 350.0, 380.0, 1e-9);
}

TEST(ShadeMesh, FaceNormalIsTheUnitCrossProductOfTheCornerDifferences) {
  // (P0 - P1) x (P2 - P1) = (1, 2, 2) x (2, -1, 1) = (4, 3, -5), length sqrt(50).
  std::vector<MeshVertex> v{at(1, 2, 12), at(0, 0, 10), at(2, -1, 11), at(0.1, 0, 10),
                            at(0, 0.1, 10)};
  std::vector<MeshFace> f{face(0, 1, 2), face(3, 1, 4), face(1, 1, 2)};
  render3d::shade_mesh(view_of(v, f), kZero, kZero, 0x808080u, LightRig::kCoil);
  const double r = 1.0 / std::sqrt(50.0);
  expect_vec(f[0].normal, 4 * r, 3 * r, -5 * r);
  // A short cross product (length 0.01) is kept as it is.
  expect_vec(f[1].normal, 0.0, 0.0, 0.01);
  // A corner named twice counts twice.
  EXPECT_EQ(v[1].face_count, 4);
  EXPECT_EQ(v[2].face_count, 2);
  EXPECT_EQ(v[0].face_count, 1);
}

// One face facing the camera, (0, 1, 10) (0, 0, 10) (1, 0, 10): normal (0, 0, -1). The vertex at
// (0, 0, 10) looks straight down the view axis.
struct FacingTriangle {
  std::vector<MeshVertex> v{at(0, 1, 10), at(0, 0, 10), at(1, 0, 10)};
  std::vector<MeshFace> f{face(0, 1, 2)};
};

TEST(ShadeMesh, CoilVertexLitByHand) {
  // Both coil lights sit at (0, 0, 27.5) for zero phases. A = B = (0, 0, -1) and N = (0, 0, -1):
  // d = 1, diff 253. V = (0, 0, 1), N' = 2 N, R = (0, 0, -1), s = R . A = 1: specular
  // trunc(151.8) = 151, which adds (151 * 255) >> 8 = 150. Colour (16, 64, 128) becomes 14 + 150,
  // 62 + 150 and 125 + 150 (saturating at 255).
  FacingTriangle t;
  render3d::shade_mesh(view_of(t.v, t.f), kZero, kZero, 0x104080u, LightRig::kCoil);
  EXPECT_EQ(t.v[1].colour, 0xA4D4FFu);
  expect_vec(t.v[1].normal, 0.0, 0.0, -2.0);
  EXPECT_EQ(t.v[1].face_count, 1);

  // A negative highlight takes the specular term away altogether.
  FacingTriangle dim;
  dim.v[1].colour = static_cast<std::uint32_t>(-200);
  render3d::shade_mesh(view_of(dim.v, dim.f), kZero, kZero, 0x104080u, LightRig::kCoil);
  EXPECT_EQ(dim.v[1].colour, 0x0E3E7Du);
}

TEST(ShadeMesh, BlobVertexLitByHand) {
  // Phases that put both blob lights on the view axis, at z = 230 and 380: d = 1 gives the diffuse
  // ceiling 254 (453 d), and s = -R . A = -1 gives no specular light. (14, 62, 126).
  const Vec3 p{(kPi / 2) / 0.3, 0.0, 0.0};
  const Vec3 q{(1.0 - kPi / 2) / 0.311, 1.0 / 0.311, -7.5};
  FacingTriangle t;
  render3d::shade_mesh(view_of(t.v, t.f), p, q, 0x104080u, LightRig::kBlob);
  EXPECT_EQ(t.v[1].colour, 0x0E3E7Eu);

  // A face edge-on to the view, normal (-1, 0, 0): V . N = 0, so R = V points at the lights behind
  // the surface, s = 1 and the specular term is 253 (adds 252); d = 0 keeps diffuse at the floor.
  std::vector<MeshVertex> v{at(0, 0, 10), at(0, 1, 10), at(0, 0, 11)};
  std::vector<MeshFace> f{face(0, 1, 2)};
  render3d::shade_mesh(view_of(v, f), p, q, 0x000000u, LightRig::kBlob);
  expect_vec(f[0].normal, -1.0, 0.0, 0.0);
  EXPECT_EQ(v[0].colour, 0xFCFCFCu);
}

TEST(ShadeMesh, VertexNormalIsTheMeanOfItsFaces) {
  // Vertex 0 at (0, 0, 10) is shared by a face with normal (0, 0, -1) and one with (-1, 0, 0): its
  // normal is (-1, 0, -1) / sqrt 2, so N' = -2 (V . N) N = (-1, 0, -1).
  std::vector<MeshVertex> v{at(0, 0, 10), at(0, 1, 10), at(1, 0, 10), at(0, 0, 11)};
  std::vector<MeshFace> f{face(1, 0, 2), face(0, 1, 3)};
  render3d::shade_mesh(view_of(v, f), kZero, kZero, 0x336699u, LightRig::kCoil);
  expect_vec(f[0].normal, 0.0, 0.0, -1.0);
  expect_vec(f[1].normal, -1.0, 0.0, 0.0);
  expect_vec(v[0].normal, -1.0, 0.0, -1.0);
  EXPECT_EQ(v[0].face_count, 2);
  EXPECT_EQ(v[3].face_count, 1);
}

TEST(ShadeMesh, ShadedNormalsPointAgainstTheView) {
  std::mt19937 rng(99u);
  std::uniform_real_distribution<double> coord(-8.0, 8.0), depth(2.0, 30.0);
  for (const LightRig rig : {LightRig::kCoil, LightRig::kBlob}) {
    std::vector<MeshVertex> v;
    for (int i = 0; i < 40; ++i) v.push_back(at(coord(rng), coord(rng), depth(rng)));
    std::vector<MeshFace> f;
    for (int i = 0; i < 60; ++i)
      f.push_back(face(static_cast<int>(rng() % 40), static_cast<int>(rng() % 40),
                       static_cast<int>(rng() % 40)));
    render3d::shade_mesh(view_of(v, f), {1.0, 2.0, 3.0}, {-4.0, 5.0, -6.0}, 0x9A7B5Cu, rig);
    for (const MeshVertex& m : v) {
      Vec3 view = m.position;
      render3d::normalise(view);
      EXPECT_LE(render3d::dot(m.normal, view), 1e-12);
    }
  }
}

TEST(ShadeMesh, NoColourGivesPureGrey) {
  std::vector<MeshVertex> v{at(-1, 0.5, 8, 30), at(0.2, -0.7, 9, 0), at(0.9, 0.8, 7, 200)};
  std::vector<MeshFace> f{face(0, 1, 2)};
  render3d::shade_mesh(view_of(v, f), {3.0, 1.0, 2.0}, {0.5, 0.25, 4.0}, 0x000000u,
                       LightRig::kCoil);
  for (const MeshVertex& m : v) {
    const std::uint32_t grey = m.colour & 255u;
    EXPECT_EQ(m.colour, grey * 0x010101u);
  }
  EXPECT_NE(v[2].colour, 0u);  // the highlight 200 alone reaches (200 * 255) >> 8
}

TEST(ShadeMesh, CoilClearsLastFramesSumsAndBlobDoesNot) {
  const auto shaded = [](LightRig rig, bool stale) {
    FacingTriangle t;
    if (stale) {
      for (MeshVertex& m : t.v) {
        m.normal = {3.0, -7.0, 2.0};
        m.face_count = 5;
      }
    }
    render3d::shade_mesh(view_of(t.v, t.f), {0.3, 0.2, 0.1}, {0.7, 0.8, 0.9}, 0x4080C0u, rig);
    return t.v;
  };
  const auto coil_clean = shaded(LightRig::kCoil, false),
             coil_stale = shaded(LightRig::kCoil, true);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(coil_stale[i].colour, coil_clean[i].colour);
    EXPECT_EQ(coil_stale[i].face_count, 1);
    expect_vec(coil_stale[i].normal, coil_clean[i].normal.x, coil_clean[i].normal.y,
               coil_clean[i].normal.z, 0.0);
  }
  // The blob's surface builder is trusted to hand over zeroed records; stale ones are summed in.
  const auto blob_stale = shaded(LightRig::kBlob, true);
  EXPECT_EQ(blob_stale[1].face_count, 6);
  EXPECT_NE(blob_stale[1].normal.x, shaded(LightRig::kBlob, false)[1].normal.x);
}

TEST(ShadeMesh, VertexWithoutFacesKeepsAZeroNormal) {
  // Vertex 3 belongs to no face: N stays (0, 0, 0), so d = 0 (diffuse floor 64) and R = V points
  // towards the coil lights behind it, away from the direction they shine in (s = -1, no specular).
  std::vector<MeshVertex> v{at(0, 1, 10), at(0, 0, 10), at(1, 0, 10), at(0, 0, 5)};
  std::vector<MeshFace> f{face(0, 1, 2)};
  render3d::shade_mesh(view_of(v, f), kZero, kZero, 0x104080u, LightRig::kCoil);
  EXPECT_EQ(v[3].face_count, 0);
  expect_vec(v[3].normal, 0.0, 0.0, 0.0, 0.0);
  EXPECT_EQ(v[3].colour, 0x030F1Fu);  // (64 x (16, 64, 128)) >> 8, then x 255 >> 8
}

TEST(DrawMesh, FacesGoOutInArrayOrderAsCopies) {
  std::vector<MeshVertex> v{at(0, 0, 5, 0x10), at(1, 0, 5, 0x20), at(0, 1, 5, 0x30),
                            at(1, 1, 5, 0x40)};
  std::vector<MeshFace> f{face(3, 1, 2), face(0, 0, 1)};
  f[1].normal = {0.0, 0.0, -0.25};
  std::vector<std::uint32_t> seen;
  std::vector<double> normals;
  render3d::draw_mesh(view_of(v, f),
                      [&](MeshVertex& a, MeshVertex& b, MeshVertex& c, const Vec3& n) {
                        seen.insert(seen.end(), {a.colour, b.colour, c.colour});
                        normals.push_back(n.z);
                        a.colour = b.colour = c.colour = 0xDEADu;
                      });
  EXPECT_EQ(seen, (std::vector<std::uint32_t>{0x40, 0x20, 0x30, 0x10, 0x10, 0x20}));
  EXPECT_EQ(normals, (std::vector<double>{0.0, -0.25}));
  EXPECT_EQ(v[0].colour, 0x10u);
  EXPECT_EQ(v[3].colour, 0x40u);

  int calls = 0;
  MeshView empty = view_of(v, f);
  empty.face_count = 0;
  render3d::draw_mesh(empty, [&](auto&&...) { ++calls; });
  empty.face_count = -3;
  render3d::draw_mesh(empty, [&](auto&&...) { ++calls; });
  EXPECT_EQ(calls, 0);
}

}  // namespace
