#pragma once
// The mesh records both effects build every frame in camera space and the renderer lights and
// draws.

#include <cstdint>
#include <type_traits>

#include "render3d/vec3.hpp"

namespace render3d {

struct MeshVertex {
  Vec3 position;            // camera space, written by the geometry step
  Vec3 normal;              // shading scratch: the summed face normals, then the mirrored view term
  std::int32_t face_count;  // faces using the vertex, counted by shading
  std::uint32_t colour;     // before shading: highlight added to the specular light;
                            // after: the lit colour 0x00RRGGBB the rasterizer interpolates
};

struct MeshFace {
  std::int32_t vertex_index[3];  // corner order fixes the normal (P0 - P1) x (P2 - P1)
  Vec3 normal;                   // unit face normal, written by shading each frame
};

static_assert(std::is_trivially_copyable_v<MeshVertex>);
static_assert(std::is_trivially_copyable_v<MeshFace>);

}  // namespace render3d
