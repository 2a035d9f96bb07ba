// Mesh shading: face normals, vertex normals averaged from them, and two moving point lights into
// one colour per vertex. Both effects run the same steps; their light paths and constants differ
// (the two rigs below).

#include "render3d/shading.hpp"

#include <algorithm>
#include <cstdint>

#include "lighting.hpp"
#include "render3d/trig.hpp"
#include "render3d/vec3.hpp"

namespace render3d {
namespace detail {
namespace {

// Specular light is gain * s - offset, so it starts at s = offset / gain: 0.8 for the coil (a tight
// highlight), 0.5 for the blob. Diffuse light is gain * d before its clamp to 64..254.
struct RigConstants {
  double specular_gain;
  double specular_offset;
  double diffuse_gain;
};
constexpr RigConstants kCoilConstants{759.0, 607.2, 253.0};
constexpr RigConstants kBlobConstants{506.0, 253.0, 453.0};

constexpr const RigConstants& constants_of(LightRig rig) noexcept {
  return rig == LightRig::kCoil ? kCoilConstants : kBlobConstants;
}

constexpr double kLevelCeiling = 254.0;
constexpr double kDiffuseFloor = 64.0;

// The coil's lights: each coordinate of a light wobbles as reach x sin(0.03 x phase) around a point
// 27.5 in front of the camera, just behind the hub at 23, so the body is lit from close by.
constexpr double kCoilLightRate = 0.03;
constexpr double kCoilLight1Reach = 13.0;
constexpr double kCoilLight2Reach = 15.0;
constexpr double kCoilLightDepth = 27.5;

// The blob's first light circles at radius 130 (x by cosine, y by sine of 0.3 x its phase) and
// bobs by 20 around depth 230, between the camera and the blob (a silent blob spans depths 300 to
// 660).
constexpr double kBlobLight1Rate = 0.3;
constexpr double kBlobLight1Orbit = 130.0;
constexpr double kBlobLight1Depth = 230.0;
// The second circles far wider, at radius 350, beside the blob rather than in front of it, its
// angles running backwards from 1 radian at rate 0.311; it bobs by 20 at rate 0.4 from 3 radians,
// around depth 380.
constexpr double kBlobLight2Start = 1.0;
constexpr double kBlobLight2Rate = 0.311;
constexpr double kBlobLight2Orbit = 350.0;
constexpr double kBlobLight2BobRate = 0.4;
constexpr double kBlobLight2BobStart = 3.0;
constexpr double kBlobLight2Depth = 380.0;
// How far both blob lights move in depth either side of theirs.
constexpr double kBlobLightBob = 20.0;

// A lit channel: colour x diffuse / 256, then x 255 / 256, plus the specular level x 255 / 256,
// saturating at the channel's top value.
constexpr std::uint32_t kChannelTop = 255u;

}  // namespace

LightPositions place_lights(LightRig rig, const Vec3& p, const Vec3& q) noexcept {
  if (rig == LightRig::kCoil) {
    // Two small wobbles around a point in front of the camera, close to the body.
    return {{kCoilLight1Reach * trig::sin(kCoilLightRate * p.x),
             kCoilLight1Reach * trig::sin(kCoilLightRate * p.y),
             kCoilLight1Reach * trig::sin(kCoilLightRate * p.z) + kCoilLightDepth},
            {kCoilLight2Reach * trig::sin(kCoilLightRate * q.x),
             kCoilLight2Reach * trig::sin(kCoilLightRate * q.y),
             kCoilLight2Reach * trig::sin(kCoilLightRate * q.z) + kCoilLightDepth}};
  }
  // Two orbits, the second far wider.
  return {{kBlobLight1Orbit * trig::cos(kBlobLight1Rate * p.x),
           kBlobLight1Orbit * trig::sin(kBlobLight1Rate * p.y),
           kBlobLightBob * trig::sin(kBlobLight1Rate * p.z) + kBlobLight1Depth},
          {kBlobLight2Orbit * trig::cos(kBlobLight2Start - kBlobLight2Rate * q.x),
           kBlobLight2Orbit * trig::sin(kBlobLight2Start - kBlobLight2Rate * q.y),
           kBlobLightBob * trig::sin(kBlobLight2BobRate * q.z + kBlobLight2BobStart) +
               kBlobLight2Depth}};
}

// The clamps are written so that a NaN level (from a degenerate vertex) lands on the floor instead
// of reaching an undefined conversion.
std::uint32_t diffuse_level(LightRig rig, double d) noexcept {
  double df = constants_of(rig).diffuse_gain * d;
  if (df >= kLevelCeiling) df = kLevelCeiling;
  if (!(df > kDiffuseFloor)) df = kDiffuseFloor;
  return static_cast<std::uint32_t>(df);
}

std::uint32_t specular_level(LightRig rig, double s, std::uint32_t highlight) noexcept {
  const RigConstants& k = constants_of(rig);
  double sp = std::max(0.0, k.specular_gain * s - k.specular_offset) +
              static_cast<double>(static_cast<std::int32_t>(highlight));
  if (sp >= kLevelCeiling) sp = kLevelCeiling;
  if (!(sp > 0.0)) sp = 0.0;
  return static_cast<std::uint32_t>(sp);
}

std::uint32_t lit_colour(std::uint32_t diffuse, std::uint32_t specular,
                         std::uint32_t colour) noexcept {
  const std::uint32_t added = (specular * kChannelTop) >> 8;
  const auto channel = [&](std::uint32_t c) {
    const std::uint32_t out = ((((diffuse * c) >> 8) * kChannelTop) >> 8) + added;
    return out >= kChannelTop ? kChannelTop : out;
  };
  return (channel((colour >> 16) & 255u) << 16) | (channel((colour >> 8) & 255u) << 8) |
         channel(colour & 255u);
}

}  // namespace detail

void shade_mesh(const MeshView& mesh, const Vec3& light1_phase, const Vec3& light2_phase,
                std::uint32_t colour, LightRig rig) noexcept {
  MeshVertex* const vertices = mesh.vertices;

  // The coil's vertex records persist from frame to frame, so last frame's sums are cleared; the
  // blob's surface builder hands over fresh, zeroed records.
  if (rig == LightRig::kCoil) {
    for (std::int32_t i = 0; i < mesh.vertex_count; ++i) {
      vertices[i].normal = Vec3{0.0, 0.0, 0.0};
      vertices[i].face_count = 0;
    }
  }

  // Face normals (P0 - P1) x (P2 - P1), summed into each corner (a corner named twice, twice).
  for (std::int32_t f = 0; f < mesh.face_count; ++f) {
    MeshFace& face = mesh.faces[f];
    const Vec3& p0 = vertices[face.vertex_index[0]].position;
    const Vec3& p1 = vertices[face.vertex_index[1]].position;
    const Vec3& p2 = vertices[face.vertex_index[2]].position;
    Vec3 n = cross(p0 - p1, p2 - p1);
    normalise(n);  // a degenerate face keeps its short cross product
    face.normal = n;
    for (const std::int32_t index : face.vertex_index) {
      vertices[index].face_count += 1;
      vertices[index].normal += n;
    }
  }

  const detail::LightPositions lights = detail::place_lights(rig, light1_phase, light2_phase);

  for (std::int32_t i = 0; i < mesh.vertex_count; ++i) {
    MeshVertex& v = vertices[i];

    // The mean of the face normals. A vertex no face uses has no normal: it keeps the zero vector
    // (normalise leaves it unscaled), which lights it at the diffuse floor.
    Vec3 n{0.0, 0.0, 0.0};
    if (v.face_count != 0) {
      const double count = static_cast<double>(v.face_count);
      n = Vec3{v.normal.x / count, v.normal.y / count, v.normal.z / count};
      normalise(n);
    }

    // From each light to the vertex.
    Vec3 to_first = v.position - lights.first;
    normalise(to_first);
    Vec3 to_second = v.position - lights.second;
    normalise(to_second);
    const double d = std::max(dot(to_first, n), dot(to_second, n));

    // The view ray mirrored about the surface: reflected = view + mirror_term.
    Vec3 view = v.position;
    normalise(view);
    const double along = -2.0 * dot(view, n);
    const Vec3 mirror_term{along * n.x, along * n.y, along * n.z};
    Vec3 reflected = view + mirror_term;
    normalise(reflected);
    const double s = rig == LightRig::kCoil
                         ? std::max(dot(reflected, to_first), dot(reflected, to_second))
                         : std::max(-dot(reflected, to_first), -dot(reflected, to_second));

    // What shading leaves in the normal field is the mirror term, which the view-facing rejection
    // of the rasterizer reads: it points against the view for every vertex.
    v.normal = mirror_term;

    const std::uint32_t specular = detail::specular_level(rig, s, v.colour);
    const std::uint32_t diffuse = detail::diffuse_level(rig, d);
    v.colour = detail::lit_colour(diffuse, specular, colour);
  }
}

}  // namespace render3d
