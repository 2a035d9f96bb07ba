#pragma once
// The drawing stage's input, kept so that every rasterizer in the comparison draws exactly the
// same triangles: the lit meshes of 60 frames of the song, as shade_mesh left them, and the
// triangles of each that the effect's rules keep, projected for one frame size.

#include <cstdint>
#include <vector>

#include "render3d/mesh.hpp"
#include "render3d/rasterizer.hpp"

namespace apebench {

enum class Effect { kCoil, kBlob };

struct ShadedMesh {
  std::vector<render3d::MeshVertex> vertices;
  std::vector<render3d::MeshFace> faces;
  double zoom;  // the coil's projection zoom of that frame (1 for the blob)
};

// 60 frames spread over the song (every 32nd after the warm-up), from a fresh effect.
const std::vector<ShadedMesh>& shaded_meshes(Effect effect);

// One kept triangle on the frame, for the peers: corners in pixels (x right, y down, the frame's
// centre at width / 2, height / 2), depth 1 / z (larger is nearer), colours 0..255; the corners in
// the order the mesh gives them.
struct ScreenCorner {
  float x, y, depth;
  float r, g, b;
};
struct ScreenTriangle {
  ScreenCorner corner[3];
};

// The triangles of mesh that the effect's rules keep (near limit, facing), in face order.
std::vector<ScreenTriangle> kept_triangles(const ShadedMesh& mesh, Effect effect, int width,
                                           int height);

// Our drawing stage on one mesh: every face through the effect's rules into target, then the
// outline.
void draw_shaded_mesh(const ShadedMesh& mesh, Effect effect, const render3d::RenderTarget& target);

}  // namespace apebench
