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

}  // namespace

LightPositions place_lights(LightRig rig, const Vec3& p, const Vec3& q) noexcept {
  if (rig == LightRig::kCoil) {
    // Two small wobbles around a point 27.5 in front of the camera, close to the body.
    return {{13.0 * trig::sin(0.03 * p.x), 13.0 * trig::sin(0.03 * p.y),
             13.0 * trig::sin(0.03 * p.z) + 27.5},
            {15.0 * trig::sin(0.03 * q.x), 15.0 * trig::sin(0.03 * q.y),
             15.0 * trig::sin(0.03 * q.z) + 27.5}};
  }
  // Two wide orbits far behind the surface, at depths around 230 and 380.
  return {{130.0 * trig::cos(0.3 * p.x), 130.0 * trig::sin(0.3 * p.y),
           20.0 * trig::sin(0.3 * p.z) + 230.0},
          {350.0 * trig::cos(1.0 - 0.311 * q.x), 350.0 * trig::sin(1.0 - 0.311 * q.y),
           20.0 * trig::sin(0.4 * q.z + 3.0) + 380.0}};
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
  const std::uint32_t added = (specular * 255u) >> 8;
  const auto channel = [&](std::uint32_t c) {
    const std::uint32_t out = ((((diffuse * c) >> 8) * 255u) >> 8) + added;
    return out >= 255u ? 255u : out;
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
