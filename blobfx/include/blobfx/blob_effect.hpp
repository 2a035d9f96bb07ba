#pragma once
// The Blobform effect: the smooth, lit iso-surface of the summed field of six balls that circle the
// centre of the view, swing wider with the loudness of three spectrum bands and tilt their orbits
// on every beat. The surface is rebuilt every frame by marching cubes over a fixed grid, then
// shaded and drawn by the shared renderer.
//
// The class is internal to the plug-in module: the host only ever sees the C table of ape_abi.h, so
// the state is public (the ball field reads and writes it, the tests inspect it) rather than hidden
// behind accessors. Its own virtual operations keep their slot order, but the class is final:
// nothing can stand in for one of them, so the sweep may call polygonize_cell only for the cells
// the surface crosses (every other call would do nothing).

#include <cstdint>
#include <memory>

#include "apefw/effect_base.hpp"
#include "apefw/effect_settings.hpp"
#include "blobfx/ball_field.hpp"
#include "blobfx/surface.hpp"
#include "render3d/depth_buffer.hpp"
#include "render3d/mesh.hpp"
#include "render3d/rasterizer.hpp"
#include "render3d/sound_bands.hpp"
#include "render3d/vec3.hpp"

namespace blobfx {

using render3d::MeshFace;
using render3d::MeshVertex;
using render3d::Vec3;

inline constexpr char kShortName[] = "Blobform 3D";
inline constexpr char kLongDescription[] = "Render / Blobform 3D";

// Fixed mesh capacities, allocated once by the constructor.
inline constexpr std::int32_t kVertexCapacity = 6000;
inline constexpr std::int32_t kFaceCapacity = 5000;
// A cell starts only while vertex_count + 8 is below the vertex capacity and face_count + 4 below
// the face capacity; from the first cell that fails, the rest of the frame's grid is left out. A
// cell adds at most five faces, so the faces always fit. A cell on two low boundary planes may add
// ten vertices, one more than the headroom leaves room for: such a cell, when its vertices do not
// all fit, is treated as the first failing cell (it emits nothing and ends the frame's surface).
inline constexpr std::int32_t kCellVertexHeadroom = 8;
inline constexpr std::int32_t kCellFaceHeadroom = 4;

class BlobEffect final : public apefw::EffectBase {
 public:
  BlobEffect() noexcept;
  ~BlobEffect() override;

  // False when the mesh arrays, the edge cache or the ball field could not be allocated; such an
  // object is never handed out.
  [[nodiscard]] bool construction_complete() const noexcept;

  int render_frame(const std::uint8_t* sound, int beat, std::uint32_t* framebuffer,
                   std::uint32_t* output_framebuffer, int width, int height) override;
  void* create_settings_panel(void* instance, void* parent) override;
  const char* describe() override;
  void load_settings(const std::uint8_t* data, int length) override;
  int save_settings(std::uint8_t* buffer) override;

  // The effect's own operations, in this slot order behind the six above.

  // One triangle into the frame and depth buffer; turned away when its face normal's z is below
  // -0.3.
  virtual void draw_triangle(const render3d::RenderTarget& target, const MeshVertex& a,
                             const MeshVertex& b, const MeshVertex& c, const Vec3& face_normal);
  // Moves the balls, then sweeps the grid and rebuilds the mesh from the field.
  virtual void build_surface();
  // Blends the frame's colour and lights every vertex with the two moving lights.
  virtual void shade_mesh();
  // Every face in index order into framebuffer and the depth buffer; draws nothing while there is
  // no depth buffer for this size.
  virtual void draw_mesh(std::uint32_t* framebuffer, int width, int height);
  // One cube of the sweep: appends its new edge vertices and its triangles. cache_index is the
  // first of the cell's three edge_cache slots (3n); the flags mark the first column (i = 0), row
  // (j = 0) and slice (k = 0), whose low faces have no earlier neighbour to share vertices with.
  virtual void polygonize_cell(const GridCell& cell, std::int32_t cache_index, bool first_x,
                               bool first_y, bool first_z);

  // The sweep of build_surface after the ball animation, over field values already sampled at
  // every lattice point (kLatticePoints entries, as BallField::sample_lattice lays them out):
  // empties the edge cache and appends the surface to the mesh, every cell in sweep order through
  // polygonize_cell.
  void sweep_lattice(const std::int32_t* values);

  apefw::EffectSettings settings{};
  // width + 65536 x height of the latest frame; the depth buffer itself tracks width and height.
  std::int32_t frame_size_key = 0;
  // Frames rendered. Counts on in unsigned arithmetic, modulo 2^32, and is read as the signed
  // value: after 2^31 - 1 frames the animation goes on from -2^31 (only its sines see the jump).
  std::int32_t frame_count = 0;
  std::int32_t band_level[render3d::kSoundBands] = {};  // bass, middle, treble
  std::int32_t band_trend[render3d::kSoundBands] = {};
  render3d::DepthBuffer depth_buffer;
  std::unique_ptr<MeshVertex[]> vertices;
  std::int32_t vertex_count = 0;
  std::unique_ptr<MeshFace[]> faces;
  std::int32_t face_count = 0;
  // The vertex index on each cube edge a cell owns: edge 5 in slot 3n, edge 6 in 3n + 1, edge 10
  // in 3n + 2 (the three edges meeting at corner 6); -1 while the edge has no vertex this frame.
  std::unique_ptr<std::int32_t[]> edge_cache;
  std::int32_t edge_cache_size = 0;
  std::int32_t beat_flag = 0;  // this frame's beat, for the ball field
  double colour_position = 0.0;
  Vec3 light1_phase{};
  Vec3 light2_phase{};
  std::unique_ptr<BallField> ball_field;

 private:
  // This frame's field at every lattice point, for the sweep's cells.
  std::int32_t lattice_values_[kLatticePoints];
  // Set once a cell could not have all its vertices within the capacity; every later cell of the
  // sweep then emits nothing, as after the headroom test (see polygonize_cell).
  bool surface_cut_ = false;
};

}  // namespace blobfx
