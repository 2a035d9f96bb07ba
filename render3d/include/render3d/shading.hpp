#pragma once
// Lighting and drawing of a whole mesh: face normals, vertex normals, two moving point lights (a
// diffuse term with a floor and a reflection-based specular term) into one colour per vertex; then
// every face in array order through the rasterizer, visibility left to the depth buffer alone.

#include <cstdint>

#include "render3d/mesh.hpp"
#include "render3d/rasterizer.hpp"

namespace render3d {

// The two effects' light paths and lighting constants.
enum class LightRig {
  kCoil,  // small, near lights around z = 27.5; clears the vertex normals and counts first
  kBlob,  // wide orbits around z = 230 and 380; vertices arrive with zero normals and counts
};

struct MeshView {
  MeshVertex* vertices;
  std::int32_t vertex_count;
  MeshFace* faces;
  std::int32_t face_count;
};

// Lights every vertex of mesh in colour (0x00RRGGBB, the frame's blended colour) with the lights
// placed from the two phase vectors.
void shade_mesh(const MeshView& mesh, const Vec3& light1_phase, const Vec3& light2_phase,
                std::uint32_t colour, LightRig rig) noexcept;

// Hands every face, in array order, to draw(copy0, copy1, copy2, face_normal) with copies of its
// three vertex records; the mesh itself is never changed by drawing.
template <class DrawTriangle>
void draw_mesh(const MeshView& mesh, DrawTriangle&& draw) {
  for (std::int32_t f = 0; f < mesh.face_count; ++f) {
    const MeshFace& face = mesh.faces[f];
    MeshVertex a = mesh.vertices[face.vertex_index[0]];
    MeshVertex b = mesh.vertices[face.vertex_index[1]];
    MeshVertex c = mesh.vertices[face.vertex_index[2]];
    draw(a, b, c, face.normal);
  }
}

// The same, for a draw that puts every face into target; the mesh's outline is put down once the
// last face is drawn.
template <class DrawTriangle>
void draw_mesh(const MeshView& mesh, const RenderTarget& target, DrawTriangle&& draw) {
  draw_mesh(mesh, draw);
  apply_outline(target);
}

}  // namespace render3d
