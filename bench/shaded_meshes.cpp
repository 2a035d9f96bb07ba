#include "shaded_meshes.hpp"

#include <algorithm>
#include <memory>
#include <type_traits>

#include "bench_support.hpp"
#include "blobfx/blob_effect.hpp"
#include "coilfx/coil_effect.hpp"
#include "render3d/shading.hpp"

namespace apebench {
namespace {

constexpr int kWarmUpFrames = 90;
constexpr int kMeshFrames = 60;
constexpr int kMeshStride = 32;

// The mesh as shade_mesh left it: drawing reads the records but never writes them, so after a frame
// the effect still holds its lit mesh.
template <class Effect>
ShadedMesh shaded_copy(const Effect& effect) {
  ShadedMesh m;
  m.vertices.assign(effect.vertices.get(), effect.vertices.get() + effect.vertex_count);
  m.faces.assign(effect.faces.get(), effect.faces.get() + effect.face_count);
  if constexpr (std::is_same_v<Effect, coilfx::CoilEffect>) {
    m.zoom = effect.zoom;
  } else {
    m.zoom = 1.0;
  }
  return m;
}

template <class Effect>
std::vector<ShadedMesh> record_song() {
  auto effect = std::make_unique<Effect>();
  const std::vector<SoundFrame>& trace = song();
  std::vector<std::uint32_t> frame(64 * 48);
  std::vector<ShadedMesh> meshes;
  for (int f = 0; f < kWarmUpFrames + kMeshFrames * kMeshStride; ++f) {
    const SoundFrame& s = trace[static_cast<std::size_t>(f) % trace.size()];
    effect->render_frame(s.bytes, s.beat, frame.data(), nullptr, 64, 48);
    if (f >= kWarmUpFrames && (f - kWarmUpFrames) % kMeshStride == 0) {
      meshes.push_back(shaded_copy(*effect));
    }
  }
  return meshes;
}

}  // namespace

const std::vector<ShadedMesh>& shaded_meshes(Effect effect) {
  static const std::vector<ShadedMesh> coil = record_song<coilfx::CoilEffect>();
  static const std::vector<ShadedMesh> blob = record_song<blobfx::BlobEffect>();
  return effect == Effect::kCoil ? coil : blob;
}

void draw_shaded_mesh(const ShadedMesh& mesh, Effect effect, const render3d::RenderTarget& target) {
  const render3d::MeshView view{const_cast<render3d::MeshVertex*>(mesh.vertices.data()),
                                static_cast<std::int32_t>(mesh.vertices.size()),
                                const_cast<render3d::MeshFace*>(mesh.faces.data()),
                                static_cast<std::int32_t>(mesh.faces.size())};
  if (effect == Effect::kCoil) {
    const render3d::ViewFacingRules rules{mesh.zoom};
    render3d::draw_mesh(view, target,
                        [&](const render3d::MeshVertex& a, const render3d::MeshVertex& b,
                            const render3d::MeshVertex& c, const render3d::Vec3&) {
                          render3d::draw_triangle(target, a, b, c, rules);
                        });
  } else {
    render3d::draw_mesh(view, target,
                        [&](const render3d::MeshVertex& a, const render3d::MeshVertex& b,
                            const render3d::MeshVertex& c, const render3d::Vec3& normal) {
                          render3d::draw_triangle(target, a, b, c,
                                                  render3d::FaceNormalRules{normal});
                        });
  }
}

std::vector<ScreenTriangle> kept_triangles(const ShadedMesh& mesh, Effect effect, int width,
                                           int height) {
  // The same rules as the rasterizer's, in the same order: every corner at z >= 1; the coil turns
  // away triangles whose summed normals point along their summed positions and those reaching
  // beyond three half-frames, the blob those whose face normal points away (z below -0.3).
  const double hw = width / 2, hh = height / 2;
  const double k = (effect == Effect::kCoil ? mesh.zoom : 1.0) * std::min(hw, hh);
  std::vector<ScreenTriangle> out;
  for (const render3d::MeshFace& face : mesh.faces) {
    const render3d::MeshVertex* v[3];
    bool keep = true;
    for (int i = 0; i < 3; ++i) {
      v[i] = &mesh.vertices[static_cast<std::size_t>(face.vertex_index[i])];
      keep = keep && v[i]->position.z >= 1.0;
    }
    if (!keep) continue;
    if (effect == Effect::kCoil) {
      const render3d::Vec3 s = v[0]->position + v[1]->position + v[2]->position;
      const render3d::Vec3 n = v[0]->normal + v[1]->normal + v[2]->normal;
      if (n.y * s.y + n.z * s.z + n.x * s.x > 15.0) continue;
      for (const render3d::MeshVertex* p : v) {
        keep = keep && p->position.x >= -3 * hw && p->position.x < 3 * hw &&
               p->position.y >= -3 * hh && p->position.y < 3 * hh;
      }
      if (!keep) continue;
    } else if (face.normal.z < -0.3) {
      continue;
    }
    ScreenTriangle t{};
    for (int i = 0; i < 3; ++i) {
      const render3d::Vec3& p = v[i]->position;
      const double inv_z = 1.0 / p.z;
      const std::uint32_t c = v[i]->colour;
      t.corner[i] = {static_cast<float>(inv_z * k * p.x + hw),
                     static_cast<float>(inv_z * k * p.y + hh),
                     static_cast<float>(inv_z),
                     static_cast<float>((c >> 16) & 255u),
                     static_cast<float>((c >> 8) & 255u),
                     static_cast<float>(c & 255u)};
    }
    out.push_back(t);
  }
  return out;
}

}  // namespace apebench
