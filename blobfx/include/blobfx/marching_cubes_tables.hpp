#pragma once
// The two marching-cubes lookup tables of the surface sweep, indexed by a cell's cube index.
//
// Corners of a cell (x0, y0, z0 the low lattice values, x1, y1, z1 the high ones):
//   0 (x0,y0,z0)  1 (x1,y0,z0)  2 (x1,y1,z0)  3 (x0,y1,z0)
//   4 (x0,y0,z1)  5 (x1,y0,z1)  6 (x1,y1,z1)  7 (x0,y1,z1)
// Edges, from corner -> to corner:
//   0: 0-1  1: 1-2  2: 2-3  3: 3-0  4: 4-5  5: 5-6  6: 6-7  7: 7-4  8: 0-4  9: 1-5  10: 2-6  11:
//   3-7
// Cube index: bit i set when corner i lies outside the blob (its field value below 0).
//
// With these tables a face (P0, P1, P2) has its normal (P0 - P1) x (P2 - P1) pointing into the
// blob, toward the corners at or above the iso level. The shading and the rasterizer's facing test
// rely on that winding, so the triangle rows are data to be kept exactly, never re-derived.
//
// The compiled tables are generated from blobfx/data/marching_cubes_tables.txt (see
// blobfx/data/generate_tables.py); the tests compare them with that file and check their rules.

#include <cstdint>

namespace blobfx {

inline constexpr int kCubeCases = 256;
inline constexpr int kCellEdges = 12;
inline constexpr int kCellCorners = 8;
// Up to five triangles as edge triples, the rest -1.
inline constexpr int kTriangleRowLength = 16;

// The 12-bit mask of the edges the surface crosses: bit e set when the two corners of edge e lie on
// different sides.
extern const std::uint32_t edge_table[kCubeCases];

// The triangles of each case as triples of edge numbers, ended by -1.
extern const std::int32_t triangle_table[kCubeCases][kTriangleRowLength];

// The two corners of each edge, from corner first.
inline constexpr int kEdgeCorners[kCellEdges][2] = {
    {0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6}, {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7},
};

}  // namespace blobfx
