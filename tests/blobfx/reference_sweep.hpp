#pragma once
// The surface sweep written out the straightforward way, as the tests' measure of the real one:
// every one of the 22 x 22 x 22 cells in sweep order (x fastest, then y, then z), its eight corners
// read from a table of field values at the lattice points, handed to polygonize_cell with its cache
// index and its first-of-line flags. The real sweep hands on only the cells the surface crosses;
// both must leave the same mesh and edge cache, bit for bit.
//
// The cell numbers, corner offsets and lattice values are written out here again, so that the
// comparison does not lean on the grid helpers it checks.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "apefw/random.hpp"
#include "blobfx/blob_effect.hpp"
#include "blobfx/surface.hpp"

namespace blobtest {

// Field values at the 23 x 23 x 23 lattice points, x fastest, then y, then z.
using Lattice = std::vector<std::int32_t>;

inline constexpr int kSide = 23;  // lattice points per side
inline int point_index(int i, int j, int k) { return i + 23 * j + 529 * k; }
inline std::int32_t grid_x(int i) { return -330 + 30 * i; }  // also y
inline std::int32_t grid_z(int k) {
  static const std::int32_t z[kSide] = {-247, -225, -202, -180, -157, -135, -112, -90,
                                        -67,  -45,  -22,  0,    22,   45,   67,   90,
                                        112,  135,  157,  180,  202,  225,  247};
  return z[k];
}

// A lattice from a function of the point's lattice indices.
template <class F>
Lattice lattice_of(F value_at) {
  Lattice values(static_cast<std::size_t>(kSide * kSide * kSide));
  for (int k = 0; k < kSide; ++k) {
    for (int j = 0; j < kSide; ++j) {
      for (int i = 0; i < kSide; ++i) values[point_index(i, j, k)] = value_at(i, j, k);
    }
  }
  return values;
}

// The field's sample at every lattice point, one call per point: the values a sweep of this field
// must use.
inline Lattice sampled_lattice(const blobfx::BallField& field) {
  return lattice_of(
      [&](int i, int j, int k) { return field.sample(grid_x(i), grid_x(j), grid_z(k)); });
}

// What one polygonize_cell call of the reference sweep did.
struct CellRecord {
  int n;  // cell number, also its place in the sweep
  std::int32_t vertices_before, vertices_after;
  std::int32_t faces_before, faces_after;
};

struct ReferenceSweep {
  std::unique_ptr<blobfx::BlobEffect> effect;  // holds the mesh and the edge cache
  std::vector<CellRecord> cells;               // all 10,648, in sweep order
};

// Sweeps `values` cell by cell into a new effect, which it returns with a record of every cell.
inline ReferenceSweep reference_sweep(const Lattice& values) {
  // A new effect seeds this thread's random generator from the tick count: the caller's draws go
  // on as if it had never been made.
  const std::uint32_t random_state = apefw::random_state();
  ReferenceSweep r{std::make_unique<blobfx::BlobEffect>(), {}};
  apefw::seed_random(random_state);

  blobfx::BlobEffect& e = *r.effect;
  e.vertex_count = 0;
  e.face_count = 0;
  std::fill_n(e.edge_cache.get(), e.edge_cache_size, -1);
  // Corner c of cell (i, j, k) is lattice point (i, j, k) + kCorner[c].
  static const int kCorner[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                    {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
  r.cells.reserve(22 * 22 * 22);
  for (int k = 0; k < 22; ++k) {
    for (int j = 0; j < 22; ++j) {
      for (int i = 0; i < 22; ++i) {
        blobfx::GridCell cell{};
        for (int c = 0; c < 8; ++c) {
          const int a = i + kCorner[c][0], b = j + kCorner[c][1], d = k + kCorner[c][2];
          cell.corner[c] = {grid_x(a), grid_x(b), grid_z(d)};
          cell.value[c] = values[point_index(a, b, d)];
        }
        const int n = i + 22 * j + 484 * k;
        CellRecord record{n, e.vertex_count, 0, e.face_count, 0};
        e.polygonize_cell(cell, 3 * n, i == 0, j == 0, k == 0);
        record.vertices_after = e.vertex_count;
        record.faces_after = e.face_count;
        r.cells.push_back(record);
      }
    }
  }
  return r;
}

// The meshes and edge caches two sweeps left, compared bit for bit: the counts, every vertex record
// whole, the faces' vertex indices and every cache slot.
inline void expect_same_surface(const blobfx::BlobEffect& actual,
                                const blobfx::BlobEffect& expected) {
  ASSERT_EQ(actual.vertex_count, expected.vertex_count);
  ASSERT_EQ(actual.face_count, expected.face_count);
  for (std::int32_t v = 0; v < expected.vertex_count; ++v) {
    ASSERT_EQ(std::memcmp(&actual.vertices[v], &expected.vertices[v], sizeof(blobfx::MeshVertex)),
              0)
        << "vertex " << v;
  }
  for (std::int32_t f = 0; f < expected.face_count; ++f) {
    for (int c = 0; c < 3; ++c) {
      ASSERT_EQ(actual.faces[f].vertex_index[c], expected.faces[f].vertex_index[c])
          << "face " << f << " corner " << c;
    }
  }
  ASSERT_EQ(actual.edge_cache_size, expected.edge_cache_size);
  for (std::int32_t s = 0; s < expected.edge_cache_size; ++s) {
    ASSERT_EQ(actual.edge_cache[s], expected.edge_cache[s]) << "cache slot " << s;
  }
}

// The real sweep of `values` on `effect`, from an empty mesh.
inline void sweep(blobfx::BlobEffect& effect, const Lattice& values) {
  effect.vertex_count = 0;
  effect.face_count = 0;
  effect.sweep_lattice(values.data());
}

}  // namespace blobtest
