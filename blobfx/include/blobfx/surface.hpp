#pragma once
// The sampling grid of the surface sweep and the records the marching-cubes step works on.
//
// A fixed box of 22 x 22 x 22 cubic cells over 23 x 23 x 23 lattice points. The cell number
// n = i + 22 j + 484 k is also the sweep order: x fastest, then y, then z.

#include <cstdint>

#include "blobfx/marching_cubes_tables.hpp"
#include "render3d/mesh.hpp"

namespace blobfx {

inline constexpr int kCellsPerSide = 22;
inline constexpr int kLatticePerSide = kCellsPerSide + 1;
inline constexpr int kCellsPerSlice = kCellsPerSide * kCellsPerSide;       // 484
inline constexpr int kCellCount = kCellsPerSlice * kCellsPerSide;          // 10,648
inline constexpr int kCacheSlotsPerCell = 3;                               // edges 5, 6, 10
inline constexpr int kEdgeCacheEntries = kCacheSlotsPerCell * kCellCount;  // 31,944

// The number n of cell (i, j, k), which is also its place in the sweep; its edge cache slots are
// 3n, 3n + 1 and 3n + 2.
constexpr int cell_index(int i, int j, int k) noexcept {
  return i + kCellsPerSide * j + kCellsPerSlice * k;
}

// The lattice points, x fastest, then y, then z: point (i, j, k) is entry lattice_index(i, j, k) of
// an array of field values sampled once per point.
inline constexpr int kLatticePoints =
    kLatticePerSide * kLatticePerSide * kLatticePerSide;  // 12,167
constexpr int lattice_index(int i, int j, int k) noexcept {
  return i + kLatticePerSide * (j + kLatticePerSide * k);
}

// x and y lattice: -330, -300, ..., 330.
inline constexpr std::int32_t kLatticeStart = -330;
inline constexpr std::int32_t kLatticeStep = 30;
constexpr std::int32_t lattice_xy(int i) noexcept { return kLatticeStart + kLatticeStep * i; }

// z lattice: from -247.5 in steps of 22.5, counted in quarter units so that the arithmetic stays in
// integers; each value is truncated on its own, so the spacing alternates between 22 and 23
// (-247, -225, -202, ..., 247).
inline constexpr std::int32_t kLatticeZStartQuarters = -990;
inline constexpr std::int32_t kLatticeZStepQuarters = 90;
constexpr std::int32_t lattice_z(int k) noexcept {
  return (kLatticeZStartQuarters + kLatticeZStepQuarters * k) / 4;
}

// The field is centred on the origin; the mesh is moved this far in front of the camera, which
// sits at the origin looking along +z.
inline constexpr std::int32_t kCameraDistance = 480;

struct GridPoint {
  std::int32_t x;
  std::int32_t y;
  std::int32_t z;
};

// One cube of the sweep, corners in the numbering of marching_cubes_tables.hpp.
struct GridCell {
  GridPoint corner[kCellCorners];
  std::int32_t
      value[kCellCorners];  // field sample at each corner: below 0 outside, 0 or above inside
};

// Bit i set when corner i lies outside (its value below 0).
[[nodiscard]] std::uint32_t cube_index(const GridCell& cell) noexcept;

// The surface crossing on the edge from p (value vp) to q (value vq), in camera space: a corner
// whose value is exactly 0 is the crossing itself; equal values give the midpoint; otherwise linear
// interpolation to the zero. Every other field of the record is zero (no normal, no face, no
// highlight).
[[nodiscard]] render3d::MeshVertex edge_vertex(const GridPoint& p, const GridPoint& q,
                                               std::int32_t vp, std::int32_t vq) noexcept;

}  // namespace blobfx
