#pragma once
// The per-vertex lighting terms of shade_mesh, one rig per effect. Internal to render3d (the tests
// reach them too, to pin the clamps and thresholds exactly).

#include <cstdint>

#include "render3d/shading.hpp"
#include "render3d/vec3.hpp"

namespace render3d::detail {

struct LightPositions {
  Vec3 first;
  Vec3 second;
};

// Where the rig's two point lights stand for the given phase vectors.
LightPositions place_lights(LightRig rig, const Vec3& light1_phase,
                            const Vec3& light2_phase) noexcept;

// Diffuse level 64..254 from d, the larger cosine between the normal and the two light directions.
// The floor keeps a vertex turned away from both lights at about a quarter of the colour.
std::uint32_t diffuse_level(LightRig rig, double d) noexcept;

// Specular level 0..254 from s, the rig's reflection value, plus the vertex's highlight (its
// incoming colour read as a signed number).
std::uint32_t specular_level(LightRig rig, double s, std::uint32_t highlight) noexcept;

// The lit vertex colour 0x00RRGGBB: each channel of colour scaled by the diffuse level, then the
// specular level added to all three alike (so highlights go towards white), saturating at 255.
std::uint32_t lit_colour(std::uint32_t diffuse, std::uint32_t specular,
                         std::uint32_t colour) noexcept;

}  // namespace render3d::detail
