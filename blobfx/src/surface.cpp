// The surface polygonizer: sweeps the fixed grid cell by cell and turns the ball field's
// iso-surface into a shared-vertex triangle mesh with marching cubes.

#include <algorithm>
#include <bit>

#include "blobfx/blob_effect.hpp"
#include "blobfx/surface.hpp"

namespace blobfx {
namespace {

// Which of a cell's edges lie in one of the grid's low boundary planes (i = 0, j = 0, k = 0), where
// no earlier cell shares them.
enum : std::uint8_t { kFirstX = 1, kFirstY = 2, kFirstZ = 4 };

// The slots of a cell's part of the edge cache, one per edge it owns (the three at its corner 6).
enum : std::int32_t { kSlotOfEdge5 = 0, kSlotOfEdge6 = 1, kSlotOfEdge10 = 2 };

// How far back in the sweep the cell di columns, dj rows and dk slices before this one lies.
constexpr std::int32_t cells_back(int di, int dj, int dk) noexcept {
  return cell_index(di, dj, dk);
}

// Where each edge's vertex comes from. An owned edge (5, 6, 10: the three at corner 6) is always
// interpolated here and stored in the cell's own slot. Every other edge is owned by an earlier
// neighbour: it is read from that cell's slot, unless the cell lies in one of the planes named by
// `fresh_when`, where that neighbour does not exist and the edge is interpolated here instead.
struct EdgeSource {
  std::uint8_t fresh_when;  // kFirst* bits; 0 for an owned edge
  std::int32_t cell_back;   // the owning neighbour is cell n - cell_back
  std::int32_t slot;        // kSlotOfEdge*: which of the owner's edges this one is
};

constexpr EdgeSource kEdgeSources[kCellEdges] = {
    {kFirstY | kFirstZ, cells_back(0, 1, 1), kSlotOfEdge6},   // 0: edge 6 of (i, j - 1, k - 1)
    {kFirstZ, cells_back(0, 0, 1), kSlotOfEdge5},             // 1: edge 5 of (i, j, k - 1)
    {kFirstZ, cells_back(0, 0, 1), kSlotOfEdge6},             // 2: edge 6 of (i, j, k - 1)
    {kFirstX | kFirstZ, cells_back(1, 0, 1), kSlotOfEdge5},   // 3: edge 5 of (i - 1, j, k - 1)
    {kFirstY, cells_back(0, 1, 0), kSlotOfEdge6},             // 4: edge 6 of (i, j - 1, k)
    {0, 0, kSlotOfEdge5},                                     // 5: owned
    {0, 0, kSlotOfEdge6},                                     // 6: owned
    {kFirstX, cells_back(1, 0, 0), kSlotOfEdge5},             // 7: edge 5 of (i - 1, j, k)
    {kFirstX | kFirstY, cells_back(1, 1, 0), kSlotOfEdge10},  // 8: edge 10 of (i - 1, j - 1, k)
    {kFirstY, cells_back(0, 1, 0), kSlotOfEdge10},            // 9: edge 10 of (i, j - 1, k)
    {0, 0, kSlotOfEdge10},                                    // 10: owned
    {kFirstX, cells_back(1, 0, 0), kSlotOfEdge10},            // 11: edge 10 of (i - 1, j, k)
};

// The edges a cell interpolates itself, as a 12-bit mask, for each combination of the flags.
constexpr std::uint32_t fresh_edge_mask(std::uint8_t flags) noexcept {
  std::uint32_t mask = 0;
  for (int e = 0; e < kCellEdges; ++e) {
    const std::uint8_t when = kEdgeSources[e].fresh_when;
    if (when == 0 || (when & flags) != 0) mask |= 1u << e;
  }
  return mask;
}

constexpr int kFlagCombinations = (kFirstX | kFirstY | kFirstZ) + 1;
constexpr std::uint32_t kFreshEdges[kFlagCombinations] = {
    fresh_edge_mask(0), fresh_edge_mask(1), fresh_edge_mask(2), fresh_edge_mask(3),
    fresh_edge_mask(4), fresh_edge_mask(5), fresh_edge_mask(6), fresh_edge_mask(7),
};
// An interior cell makes at most three vertices, a cell on two boundary planes up to ten.
static_assert(std::popcount(kFreshEdges[0]) == 3);
static_assert(std::popcount(kFreshEdges[kFirstX | kFirstY]) == 10);

}  // namespace

std::uint32_t cube_index(const GridCell& cell) noexcept {
  std::uint32_t index = 0;
  for (int c = 0; c < kCellCorners; ++c) {
    if (cell.value[c] < 0) index |= 1u << c;
  }
  return index;
}

render3d::MeshVertex edge_vertex(const GridPoint& p, const GridPoint& q, std::int32_t vp,
                                 std::int32_t vq) noexcept {
  render3d::MeshVertex v{};
  // Coordinates and values are small grid numbers; the 64-bit sums and differences only keep the
  // arithmetic defined for any input.
  if (vp == 0) {
    v.position = {static_cast<double>(p.x), static_cast<double>(p.y),
                  static_cast<double>(std::int64_t{p.z} + kCameraDistance)};
  } else if (vq == 0) {
    v.position = {static_cast<double>(q.x), static_cast<double>(q.y),
                  static_cast<double>(std::int64_t{q.z} + kCameraDistance)};
  } else if (vp == vq) {
    // No zero between equal values: the midpoint, the sums taken in integers.
    v.position = {static_cast<double>(std::int64_t{p.x} + q.x) * 0.5,
                  static_cast<double>(std::int64_t{p.y} + q.y) * 0.5,
                  static_cast<double>(std::int64_t{p.z} + q.z) * 0.5 + kCameraDistance};
  } else {
    const double t = -static_cast<double>(vp) / static_cast<double>(std::int64_t{vq} - vp);
    const auto dx = static_cast<double>(std::int64_t{q.x} - p.x);
    const auto dy = static_cast<double>(std::int64_t{q.y} - p.y);
    const auto dz = static_cast<double>(std::int64_t{q.z} - p.z);
    v.position = {dx * t + p.x, dy * t + p.y, dz * t + p.z + kCameraDistance};
  }
  return v;
}

void BlobEffect::build_surface() {
  // The balls move (and the band levels decay) before any sampling.
  ball_field->animate();

  // The field is a pure function of the point, so it is sampled once per lattice point, 12,167
  // values, and every cell reads its eight corners from that table.
  ball_field->sample_lattice(lattice_values_);
  sweep_lattice(lattice_values_);
}

namespace {

// Cell (i, j, k) with its corner points and their values from the lattice table.
GridCell cell_at(const std::int32_t* values, int i, int j, int k) noexcept {
  const std::int32_t x0 = lattice_xy(i), x1 = lattice_xy(i + 1);
  const std::int32_t y0 = lattice_xy(j), y1 = lattice_xy(j + 1);
  const std::int32_t z0 = lattice_z(k), z1 = lattice_z(k + 1);
  const std::int32_t* const low = values + lattice_index(i, j, k);  // corner 0
  constexpr int kUp = lattice_index(0, 1, 0);                       // +1 in y
  constexpr int kBack = lattice_index(0, 0, 1);                     // +1 in z
  return GridCell{
      {{x0, y0, z0},
       {x1, y0, z0},
       {x1, y1, z0},
       {x0, y1, z0},
       {x0, y0, z1},
       {x1, y0, z1},
       {x1, y1, z1},
       {x0, y1, z1}},
      {low[0], low[1], low[kUp + 1], low[kUp], low[kBack], low[kBack + 1], low[kBack + kUp + 1],
       low[kBack + kUp]},
  };
}

// Bit a set when lattice point a of the row is outside (its value below 0).
std::uint32_t outside_bits(const std::int32_t* row) noexcept {
  std::uint32_t bits = 0;
  for (int a = 0; a < kLatticePerSide; ++a) bits |= static_cast<std::uint32_t>(row[a] < 0) << a;
  return bits;
}

}  // namespace

void BlobEffect::sweep_lattice(const std::int32_t* values) {
  // No edge has a vertex yet this frame, and no cell has been cut off.
  std::fill_n(edge_cache.get(), edge_cache_size, -1);
  surface_cut_ = false;

  // Cells in sweep order, x fastest. polygonize_cell does nothing at all for a cell whose corners
  // all lie on one side (it returns before touching anything), so only the cells the surface passes
  // through are handed to it, found a row at a time from the outside bits of the four lattice rows
  // around the cell row. The class is final: no other polygonize_cell could want the rest.
  std::uint32_t outside[kLatticePerSide][kLatticePerSide];  // [k][j]
  for (int k = 0; k < kLatticePerSide; ++k) {
    for (int j = 0; j < kLatticePerSide; ++j)
      outside[k][j] = outside_bits(values + lattice_index(0, j, k));
  }
  constexpr std::uint32_t kCellBits = (1u << kCellsPerSide) - 1;
  for (int k = 0; k < kCellsPerSide; ++k) {
    for (int j = 0; j < kCellsPerSide; ++j) {
      const std::uint32_t low = outside[k][j];
      // Lattice columns where the four rows do not all agree, and cells whose two columns differ.
      const std::uint32_t column_mixed =
          (low ^ outside[k][j + 1]) | (low ^ outside[k + 1][j]) | (low ^ outside[k + 1][j + 1]);
      std::uint32_t crossed = (column_mixed | (column_mixed >> 1) | (low ^ (low >> 1))) & kCellBits;
      while (crossed != 0) {
        const int i = std::countr_zero(crossed);
        crossed &= crossed - 1;
        polygonize_cell(cell_at(values, i, j, k), kCacheSlotsPerCell * cell_index(i, j, k), i == 0,
                        j == 0, k == 0);
      }
    }
  }
}

void BlobEffect::polygonize_cell(const GridCell& cell, std::int32_t cache_index, bool first_x,
                                 bool first_y, bool first_z) {
  // Headroom: a cell starts only while eight more vertices and four more faces would fit. The
  // counts never fall during a sweep, so from the first cell that fails, every later cell of the
  // frame emits nothing and its cache slots stay -1.
  if (surface_cut_ || vertex_count + kCellVertexHeadroom >= kVertexCapacity ||
      face_count + kCellFaceHeadroom >= kFaceCapacity) {
    return;
  }

  // Nothing to do in a cell wholly inside or wholly outside.
  const std::uint32_t index = cube_index(cell);
  const std::uint32_t mask = edge_table[index];
  if (mask == 0) return;

  // The headroom above leaves room for nine vertices, but a cell on two low boundary planes may
  // interpolate ten. Such a cell is treated as the first that fails the headroom test: it emits
  // nothing and ends the frame's surface, so the vertex array is never overrun, no vertex is left
  // without a face and no later cell reads a cache slot this one did not write.
  const auto flags = static_cast<std::uint8_t>((first_x ? kFirstX : 0) | (first_y ? kFirstY : 0) |
                                               (first_z ? kFirstZ : 0));
  const std::uint32_t fresh = mask & kFreshEdges[flags];
  if (vertex_count + std::popcount(fresh) > kVertexCapacity) {
    surface_cut_ = true;
    return;
  }

  // One vertex index per crossed edge: interpolated here or shared from the owning neighbour.
  std::int32_t edge_vertex_index[kCellEdges];
  for (int e = 0; e < kCellEdges; ++e) {
    if ((mask & (1u << e)) == 0) continue;
    const EdgeSource& source = kEdgeSources[e];
    if (fresh & (1u << e)) {
      const int from = kEdgeCorners[e][0];
      const int to = kEdgeCorners[e][1];
      vertices[vertex_count] =
          edge_vertex(cell.corner[from], cell.corner[to], cell.value[from], cell.value[to]);
      edge_vertex_index[e] = vertex_count;
      vertex_count += 1;
      if (source.fresh_when == 0) edge_cache[cache_index + source.slot] = edge_vertex_index[e];
    } else {
      // The neighbour saw the same two corner values, so it crossed this edge too and wrote the
      // slot earlier in the sweep.
      edge_vertex_index[e] =
          edge_cache[cache_index - kCacheSlotsPerCell * source.cell_back + source.slot];
    }
  }

  // The case's triangles in row order; their normals are written by the shading pass.
  const std::int32_t* row = triangle_table[index];
  for (int t = 0; t + 2 < kTriangleRowLength && row[t] != -1; t += 3) {
    MeshFace& face = faces[face_count];
    face.vertex_index[0] = edge_vertex_index[row[t]];
    face.vertex_index[1] = edge_vertex_index[row[t + 1]];
    face.vertex_index[2] = edge_vertex_index[row[t + 2]];
    face_count += 1;
  }
}

}  // namespace blobfx
