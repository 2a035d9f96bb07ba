// The surface polygonizer: the grid, edge_vertex, one cell and its edge cache, the sweep (checked
// against the cell-by-cell sweep and against what a surface on the lattice must be), the capacity
// cut-off and the closed sphere of a silent field.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <iterator>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "blobfx/blob_effect.hpp"
#include "blobfx/marching_cubes_tables.hpp"
#include "blobfx/surface.hpp"
#include "reference_sweep.hpp"

namespace {

using blobfx::BlobEffect;
using blobfx::edge_vertex;
using blobfx::GridCell;
using blobfx::GridPoint;

TEST(SurfaceGrid, LatticeValues) {
  const std::int32_t expected_z[23] = {-247, -225, -202, -180, -157, -135, -112, -90,
                                       -67,  -45,  -22,  0,    22,   45,   67,   90,
                                       112,  135,  157,  180,  202,  225,  247};
  for (int k = 0; k < 23; ++k) EXPECT_EQ(blobfx::lattice_z(k), expected_z[k]) << "k = " << k;
  EXPECT_EQ(blobfx::lattice_xy(0), -330);
  EXPECT_EQ(blobfx::lattice_xy(1), -300);
  EXPECT_EQ(blobfx::lattice_xy(11), 0);
  EXPECT_EQ(blobfx::lattice_xy(22), 330);
}

TEST(SurfaceEdgeVertex, TheFourCases) {
  const GridPoint p{-30, 60, -22};
  const GridPoint q{0, 60, 1};

  // A corner at exactly 0 is the crossing itself (the from corner first).
  blobfx::MeshVertex v = edge_vertex(p, q, 0, -700);
  EXPECT_EQ(v.position.x, -30.0);
  EXPECT_EQ(v.position.y, 60.0);
  EXPECT_EQ(v.position.z, -22.0 + 480.0);
  v = edge_vertex(p, q, 0, 0);
  EXPECT_EQ(v.position.x, -30.0);
  v = edge_vertex(p, q, 900, 0);
  EXPECT_EQ(v.position.x, 0.0);
  EXPECT_EQ(v.position.z, 1.0 + 480.0);

  // Equal values: the midpoint, summed in integers.
  v = edge_vertex({1, 2, 3}, {4, 6, 10}, 55, 55);
  EXPECT_EQ(v.position.x, 2.5);
  EXPECT_EQ(v.position.y, 4.0);
  EXPECT_EQ(v.position.z, 6.5 + 480.0);

  // Otherwise linear: t = -vp / (vq - vp) = 300 / 1200 = 0.25 from p.
  v = edge_vertex(p, q, -300, 900);
  EXPECT_EQ(v.position.x, -30.0 + 30.0 * 0.25);
  EXPECT_EQ(v.position.y, 60.0);
  EXPECT_EQ(v.position.z, 23.0 * 0.25 + -22.0 + 480.0);
  // The same edge walked the other way: t = 900 / 1200 from q.
  v = edge_vertex(q, p, 900, -300);
  EXPECT_DOUBLE_EQ(v.position.x, -22.5);

  // Every other field is zero: no normal, no face, no highlight.
  EXPECT_EQ(v.normal.x, 0.0);
  EXPECT_EQ(v.normal.y, 0.0);
  EXPECT_EQ(v.normal.z, 0.0);
  EXPECT_EQ(v.face_count, 0);
  EXPECT_EQ(v.colour, 0u);
}

TEST(SurfaceCubeIndex, AZeroValueCountsAsInside) {
  GridCell cell{};
  for (int c = 0; c < 8; ++c) cell.value[c] = 1;
  cell.value[0] = -1;
  cell.value[6] = 0;
  cell.value[7] = -5;
  EXPECT_EQ(blobfx::cube_index(cell), 0x81u);
}

// A cell at lattice (i, j, k) with its corner values.
GridCell make_cell(int i, int j, int k, const std::int32_t (&values)[8]) {
  const std::int32_t x0 = blobfx::lattice_xy(i), x1 = blobfx::lattice_xy(i + 1);
  const std::int32_t y0 = blobfx::lattice_xy(j), y1 = blobfx::lattice_xy(j + 1);
  const std::int32_t z0 = blobfx::lattice_z(k), z1 = blobfx::lattice_z(k + 1);
  GridCell cell{{{x0, y0, z0},
                 {x1, y0, z0},
                 {x1, y1, z0},
                 {x0, y1, z0},
                 {x0, y0, z1},
                 {x1, y0, z1},
                 {x1, y1, z1},
                 {x0, y1, z1}},
                {}};
  for (int c = 0; c < 8; ++c) cell.value[c] = values[c];
  return cell;
}

// Corners 0, 2, 5, 7 outside (cube index 0xA5): every one of the twelve edges is crossed.
constexpr std::int32_t kAllEdgesCrossed[8] = {-100, 300, -50, 200, 400, -300, 150, -250};

int cell_number(int i, int j, int k) { return i + 22 * j + 484 * k; }

// Undoes the triangle row: which vertex index each crossed edge got, read off the faces.
std::map<int, std::int32_t> edge_indices_from_faces(const BlobEffect& effect, std::uint32_t index,
                                                    std::int32_t first_face) {
  std::map<int, std::int32_t> result;
  const std::int32_t* row = blobfx::triangle_table[index];
  for (int t = 0; row[t] != -1; ++t) {
    const blobfx::MeshFace& face = effect.faces[first_face + t / 3];
    const std::int32_t v = face.vertex_index[t % 3];
    const auto [it, fresh] = result.emplace(row[t], v);
    EXPECT_EQ(it->second, v) << "edge " << row[t] << " got two vertices";
  }
  return result;
}

TEST(SurfaceEdgeCache, TheFirstCellInterpolatesEveryCrossedEdge) {
  BlobEffect effect;
  std::fill_n(effect.edge_cache.get(), effect.edge_cache_size, -1);
  const GridCell cell = make_cell(0, 0, 0, kAllEdgesCrossed);
  effect.polygonize_cell(cell, 0, true, true, true);
  ASSERT_EQ(effect.vertex_count, 12);
  ASSERT_EQ(effect.face_count, 4);
  const auto edges = edge_indices_from_faces(effect, 0xA5, 0);
  ASSERT_EQ(edges.size(), 12u);
  // In edge order, so edge e got vertex e; the owned edges went into the cell's slots.
  for (const auto& [e, v] : edges) EXPECT_EQ(v, e);
  EXPECT_EQ(effect.edge_cache[0], 5);
  EXPECT_EQ(effect.edge_cache[1], 6);
  EXPECT_EQ(effect.edge_cache[2], 10);
  // Each vertex lies on its edge, 480 in front of the camera.
  for (int e = 0; e < 12; ++e) {
    const GridPoint& a = cell.corner[blobfx::kEdgeCorners[e][0]];
    const GridPoint& b = cell.corner[blobfx::kEdgeCorners[e][1]];
    const blobfx::Vec3& p = effect.vertices[e].position;
    EXPECT_GE(p.x, std::min(a.x, b.x));
    EXPECT_LE(p.x, std::max(a.x, b.x));
    EXPECT_GE(p.z - 480.0, std::min(a.z, b.z));
    EXPECT_LE(p.z - 480.0, std::max(a.z, b.z));
  }
}

TEST(SurfaceEdgeCache, AnInteriorCellSharesNineEdgesWithItsNeighbours) {
  BlobEffect effect;
  // Every slot holds a value that names it.
  for (std::int32_t s = 0; s < effect.edge_cache_size; ++s) effect.edge_cache[s] = 100000 + s;
  effect.vertex_count = 40;
  const int n = cell_number(3, 2, 1);
  effect.polygonize_cell(make_cell(3, 2, 1, kAllEdgesCrossed), 3 * n, false, false, false);
  EXPECT_EQ(effect.vertex_count, 43);  // edges 5, 6 and 10 only
  const auto edges = edge_indices_from_faces(effect, 0xA5, 0);
  ASSERT_EQ(edges.size(), 12u);
  const std::map<int, std::int32_t> expected = {
      {0, 100000 + 3 * (n - 506) + 1},  // edge 6 of cell (i, j - 1, k - 1)
      {1, 100000 + 3 * (n - 484)},      // edge 5 of cell (i, j, k - 1)
      {2, 100000 + 3 * (n - 484) + 1},  // edge 6 of cell (i, j, k - 1)
      {3, 100000 + 3 * (n - 485)},      // edge 5 of cell (i - 1, j, k - 1)
      {4, 100000 + 3 * (n - 22) + 1},   // edge 6 of cell (i, j - 1, k)
      {5, 40},
      {6, 41},
      {7, 100000 + 3 * (n - 1)},       // edge 5 of cell (i - 1, j, k)
      {8, 100000 + 3 * (n - 23) + 2},  // edge 10 of cell (i - 1, j - 1, k)
      {9, 100000 + 3 * (n - 22) + 2},  // edge 10 of cell (i, j - 1, k)
      {10, 42},
      {11, 100000 + 3 * (n - 1) + 2},  // edge 10 of cell (i - 1, j, k)
  };
  EXPECT_EQ(edges, expected);
  EXPECT_EQ(effect.edge_cache[3 * n], 40);
  EXPECT_EQ(effect.edge_cache[3 * n + 1], 41);
  EXPECT_EQ(effect.edge_cache[3 * n + 2], 42);
}

TEST(SurfaceEdgeCache, EachBoundaryPlaneMakesItsOwnEdgesFresh) {
  struct Case {
    bool fx, fy, fz;
    std::set<int> fresh;
  };
  const Case cases[] = {
      {true, false, false, {3, 5, 6, 7, 8, 10, 11}},
      {false, true, false, {0, 4, 5, 6, 8, 9, 10}},
      {false, false, true, {0, 1, 2, 3, 5, 6, 10}},
      {false, true, true, {0, 1, 2, 3, 4, 5, 6, 8, 9, 10}},
  };
  for (const Case& c : cases) {
    BlobEffect effect;
    for (std::int32_t s = 0; s < effect.edge_cache_size; ++s) effect.edge_cache[s] = 100000 + s;
    const int i = c.fx ? 0 : 4, j = c.fy ? 0 : 5, k = c.fz ? 0 : 6;
    const int n = cell_number(i, j, k);
    effect.polygonize_cell(make_cell(i, j, k, kAllEdgesCrossed), 3 * n, c.fx, c.fy, c.fz);
    const auto edges = edge_indices_from_faces(effect, 0xA5, 0);
    std::set<int> fresh;
    for (const auto& [e, v] : edges) {
      if (v < 100000) fresh.insert(e);
    }
    EXPECT_EQ(fresh, c.fresh) << c.fx << c.fy << c.fz;
    EXPECT_EQ(effect.vertex_count, static_cast<std::int32_t>(c.fresh.size()));
  }
}

TEST(SurfaceEdgeCache, AllInsideOrAllOutsideEmitsNothing) {
  BlobEffect effect;
  std::fill_n(effect.edge_cache.get(), effect.edge_cache_size, -1);
  const std::int32_t inside[8] = {0, 5, 0, 9, 1, 0, 2000, 3};
  const std::int32_t outside[8] = {-1, -5, -2000, -9, -1, -7, -2, -3};
  const int n = cell_number(7, 8, 9);
  effect.polygonize_cell(make_cell(7, 8, 9, inside), 3 * n, false, false, false);
  effect.polygonize_cell(make_cell(7, 8, 9, outside), 3 * n, false, false, false);
  EXPECT_EQ(effect.vertex_count, 0);
  EXPECT_EQ(effect.face_count, 0);
  EXPECT_EQ(effect.edge_cache[3 * n], -1);
  EXPECT_EQ(effect.edge_cache[3 * n + 1], -1);
  EXPECT_EQ(effect.edge_cache[3 * n + 2], -1);
}

// ---------------------------------------------------------------------------------------------
// The sweep, checked through the real one: every mesh is measured against the cell-by-cell sweep
// of reference_sweep.hpp, and against what a surface on the lattice must look like.

// A lattice edge: from lattice point (i, j, k) one step up along axis 0 (x), 1 (y) or 2 (z).
struct LatticeEdge {
  int i, j, k, axis;
  auto operator<=>(const LatticeEdge&) const = default;
};

int lattice_x_at(double x) {
  for (int a = 0; a < blobtest::kSide; ++a) {
    if (x == blobtest::grid_x(a)) return a;
  }
  return -1;
}
int lattice_z_at(double z) {
  for (int a = 0; a < blobtest::kSide; ++a) {
    if (z == blobtest::grid_z(a)) return a;
  }
  return -1;
}

GridPoint grid_point(int i, int j, int k) {
  return {blobtest::grid_x(i), blobtest::grid_x(j), blobtest::grid_z(k)};
}

// The lattice edge a vertex of the sweep lies on, found from its position. The vertex must be the
// crossing edge_vertex makes there from the lattice's two values (walked either way), and the edge
// must be one the surface crosses. For lattices without a 0, so that every vertex lies strictly
// inside its edge.
LatticeEdge edge_of_vertex(const blobfx::Vec3& p, const blobtest::Lattice& values) {
  const double z = p.z - 480.0;
  int at[3] = {lattice_x_at(p.x), lattice_x_at(p.y), lattice_z_at(z)};
  const int free_axes = (at[0] < 0) + (at[1] < 0) + (at[2] < 0);
  EXPECT_EQ(free_axes, 1) << "vertex (" << p.x << ", " << p.y << ", " << p.z
                          << ") is off the edges";
  LatticeEdge edge{0, 0, 0, 0};
  if (free_axes != 1) return edge;
  edge.axis = at[0] < 0 ? 0 : at[1] < 0 ? 1 : 2;
  const double c = edge.axis == 0 ? p.x : edge.axis == 1 ? p.y : z;
  for (int a = 0; a + 1 < blobtest::kSide; ++a) {
    const double low = edge.axis == 2 ? blobtest::grid_z(a) : blobtest::grid_x(a);
    const double high = edge.axis == 2 ? blobtest::grid_z(a + 1) : blobtest::grid_x(a + 1);
    if (low < c && c < high) at[edge.axis] = a;
  }
  EXPECT_GE(at[edge.axis], 0) << "vertex outside the grid";
  if (at[edge.axis] < 0) return edge;
  edge.i = at[0];
  edge.j = at[1];
  edge.k = at[2];

  const int up[3] = {edge.axis == 0, edge.axis == 1, edge.axis == 2};
  const GridPoint a = grid_point(edge.i, edge.j, edge.k);
  const GridPoint b = grid_point(edge.i + up[0], edge.j + up[1], edge.k + up[2]);
  const std::int32_t va = values[blobtest::point_index(edge.i, edge.j, edge.k)];
  const std::int32_t vb =
      values[blobtest::point_index(edge.i + up[0], edge.j + up[1], edge.k + up[2])];
  EXPECT_NE(va < 0, vb < 0) << "a vertex on an edge the surface does not cross";
  const blobfx::Vec3 forward = edge_vertex(a, b, va, vb).position;
  const blobfx::Vec3 backward = edge_vertex(b, a, vb, va).position;
  const bool is_forward = std::memcmp(&forward, &p, sizeof p) == 0;
  const bool is_backward = std::memcmp(&backward, &p, sizeof p) == 0;
  EXPECT_TRUE(is_forward || is_backward)
      << "vertex (" << p.x << ", " << p.y << ", " << p.z << ") is not the crossing of its edge";
  return edge;
}

// The cells (by number) that have the edge as one of theirs.
std::set<int> cells_of_edge(const LatticeEdge& e) {
  std::set<int> cells;
  for (int di = 0; di <= 1; ++di) {
    for (int dj = 0; dj <= 1; ++dj) {
      for (int dk = 0; dk <= 1; ++dk) {
        // A cell is reached by stepping back only across the edge's two free directions.
        if ((e.axis == 0 && di) || (e.axis == 1 && dj) || (e.axis == 2 && dk)) continue;
        const int i = e.i - di, j = e.j - dj, k = e.k - dk;
        if (i < 0 || j < 0 || k < 0 || i > 21 || j > 21 || k > 21) continue;
        cells.insert(cell_number(i, j, k));
      }
    }
  }
  return cells;
}

// An edge in one of the low boundary planes, where every cell that touches it makes its own vertex.
bool on_low_boundary(const LatticeEdge& e) {
  return (e.axis != 0 && e.i == 0) || (e.axis != 1 && e.j == 0) || (e.axis != 2 && e.k == 0);
}

struct SweepFacts {
  std::vector<LatticeEdge> vertex_edge;   // per vertex
  std::vector<std::set<int>> face_cells;  // per face: the cells that hold all three of its vertices
  long crossed_edges = 0;                 // of the whole lattice
};

// What every sweep of `values` must have built (`whole`: the mesh was not cut short): each vertex
// on a crossed lattice edge, exactly the crossing of its values; each face inside one cell, the
// faces in sweep order of their cells; every vertex used. For a whole mesh also: every crossed
// edge has its vertex, an edge inside the grid exactly one (shared by all four cells around it),
// and each cell's cache slots hold the vertices of its own three edges (-1 where not crossed).
SweepFacts check_surface(const BlobEffect& effect, const blobtest::Lattice& values, bool whole) {
  SweepFacts facts;
  std::map<LatticeEdge, std::vector<std::int32_t>> vertices_of_edge;
  for (std::int32_t v = 0; v < effect.vertex_count; ++v) {
    facts.vertex_edge.push_back(edge_of_vertex(effect.vertices[v].position, values));
    vertices_of_edge[facts.vertex_edge.back()].push_back(v);
  }

  std::vector<int> uses(effect.vertex_count, 0);
  int sweep_position = 0;  // the cell the faces have reached
  for (std::int32_t f = 0; f < effect.face_count; ++f) {
    std::set<int> common;
    for (int c = 0; c < 3; ++c) {
      const std::int32_t v = effect.faces[f].vertex_index[c];
      EXPECT_GE(v, 0);
      EXPECT_LT(v, effect.vertex_count);
      if (v < 0 || v >= effect.vertex_count) return facts;
      uses[v] += 1;
      const std::set<int> cells = cells_of_edge(facts.vertex_edge[v]);
      if (c == 0) {
        common = cells;
      } else {
        std::set<int> both;
        std::set_intersection(common.begin(), common.end(), cells.begin(), cells.end(),
                              std::inserter(both, both.begin()));
        common = both;
      }
    }
    EXPECT_FALSE(common.empty()) << "face " << f << " spans more than one cell";
    const auto next = common.lower_bound(sweep_position);
    EXPECT_TRUE(next != common.end()) << "face " << f << " comes after the cells that follow it";
    if (next != common.end()) sweep_position = *next;
    facts.face_cells.push_back(common);
  }
  for (std::int32_t v = 0; v < effect.vertex_count; ++v) {
    EXPECT_GT(uses[v], 0) << "vertex " << v << " belongs to no face";
  }

  for (int k = 0; k < 23; ++k) {
    for (int j = 0; j < 23; ++j) {
      for (int i = 0; i < 23; ++i) {
        for (int axis = 0; axis < 3; ++axis) {
          const int up[3] = {axis == 0, axis == 1, axis == 2};
          if (i + up[0] > 22 || j + up[1] > 22 || k + up[2] > 22) continue;
          const std::int32_t va = values[blobtest::point_index(i, j, k)];
          const std::int32_t vb = values[blobtest::point_index(i + up[0], j + up[1], k + up[2])];
          if ((va < 0) == (vb < 0)) continue;
          facts.crossed_edges += 1;
          if (!whole) continue;
          const LatticeEdge e{i, j, k, axis};
          const auto found = vertices_of_edge.find(e);
          const std::size_t count = found == vertices_of_edge.end() ? 0 : found->second.size();
          if (on_low_boundary(e)) {
            EXPECT_GE(count, 1u) << i << " " << j << " " << k << " axis " << axis;
          } else {
            EXPECT_EQ(count, 1u) << i << " " << j << " " << k << " axis " << axis;
          }
        }
      }
    }
  }

  if (whole) {
    for (int k = 0; k < 22; ++k) {
      for (int j = 0; j < 22; ++j) {
        for (int i = 0; i < 22; ++i) {
          // Edge 5 runs along y from corner 5, edge 6 along x from corner 7, edge 10 along z from
          // corner 2.
          const LatticeEdge owned[3] = {
              {i + 1, j, k + 1, 1}, {i, j + 1, k + 1, 0}, {i + 1, j + 1, k, 2}};
          for (int s = 0; s < 3; ++s) {
            const auto found = vertices_of_edge.find(owned[s]);
            const std::int32_t expected = found == vertices_of_edge.end() ? -1 : found->second[0];
            const std::int32_t slot = effect.edge_cache[3 * cell_number(i, j, k) + s];
            if (slot != expected) {
              ADD_FAILURE() << "cell " << i << " " << j << " " << k << " slot " << s << " holds "
                            << slot << ", not " << expected;
              return facts;
            }
          }
        }
      }
    }
  }
  return facts;
}

// A lattice with one point inside the blob and distinct values everywhere, so that a corner read
// from the wrong point moves a vertex.
blobtest::Lattice one_point_inside(int pi, int pj, int pk) {
  return blobtest::lattice_of([=](int i, int j, int k) {
    return i == pi && j == pj && k == pk ? 700 + i : -(50 + 7 * i + 3 * j + k);
  });
}

TEST(SurfaceSweep, EachCellGetsItsOwnCornersInSweepOrder) {
  struct Point {
    int i, j, k;
  };
  // Inside, on the low planes and their corner, on the high planes.
  const Point points[] = {{5, 6, 7}, {0, 0, 0},    {0, 6, 7},   {4, 0, 9},
                          {3, 8, 0}, {22, 22, 22}, {22, 0, 11}, {1, 22, 21}};
  for (const Point& p : points) {
    SCOPED_TRACE(testing::Message() << "inside point " << p.i << " " << p.j << " " << p.k);
    const blobtest::Lattice values = one_point_inside(p.i, p.j, p.k);
    BlobEffect effect;
    blobtest::sweep(effect, values);
    const SweepFacts facts = check_surface(effect, values, true);
    // One triangle cut off the corner at the point in each cell around it, in sweep order.
    std::vector<int> expected_cells;
    for (int dk = 1; dk >= 0; --dk) {
      for (int dj = 1; dj >= 0; --dj) {
        for (int di = 1; di >= 0; --di) {
          const int i = p.i - di, j = p.j - dj, k = p.k - dk;
          if (i >= 0 && j >= 0 && k >= 0 && i <= 21 && j <= 21 && k <= 21) {
            expected_cells.push_back(cell_number(i, j, k));
          }
        }
      }
    }
    ASSERT_EQ(effect.face_count, static_cast<std::int32_t>(expected_cells.size()));
    for (std::size_t f = 0; f < expected_cells.size(); ++f) {
      EXPECT_EQ(facts.face_cells[f], std::set<int>{expected_cells[f]}) << "face " << f;
    }
    const blobtest::ReferenceSweep reference = blobtest::reference_sweep(values);
    blobtest::expect_same_surface(effect, *reference.effect);
  }
}

// Fields made of scattered inside points: many small surfaces all over the grid, on every boundary
// plane too, with values of every size (and in the second half exact zeros).
blobtest::Lattice scattered_field(unsigned seed, bool with_zeros) {
  std::uint32_t state = seed;
  const auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  return blobtest::lattice_of([&](int, int, int) {
    const std::uint32_t r = next();
    const std::int32_t magnitude = 1 + static_cast<std::int32_t>(r % 1000u);
    if (with_zeros && r % 67u == 0) return 0;  // inside, and the crossing lies on the point
    return (r >> 12) % 100u < 3 ? magnitude : -magnitude;
  });
}

TEST(SurfaceSweep, ScatteredFieldsBuildWhatTheCellByCellSweepBuilds) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    const bool with_zeros = seed > 3;
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    const blobtest::Lattice values = scattered_field(seed, with_zeros);
    BlobEffect effect;
    blobtest::sweep(effect, values);
    const blobtest::ReferenceSweep reference = blobtest::reference_sweep(values);
    blobtest::expect_same_surface(effect, *reference.effect);
    ASSERT_GT(effect.face_count, 500);
    ASSERT_LT(effect.face_count + 4, blobfx::kFaceCapacity);  // not cut short
    if (!with_zeros) {
      const SweepFacts facts = check_surface(effect, values, true);
      EXPECT_GT(facts.crossed_edges, 500);
    }
    // The same effect sweeps again from scratch: nothing of the first sweep is left.
    blobtest::sweep(effect, one_point_inside(9, 9, 9));
    EXPECT_EQ(effect.face_count, 8);
    EXPECT_EQ(effect.vertex_count, 6);
  }
}

TEST(SurfaceSweep, ReadsTheFieldAtEveryLatticePointAfterTheBallsMove) {
  BlobEffect effect;
  blobfx::BallField& field = *effect.ball_field;
  const std::int32_t radii[6] = {120, 80, 150, 60, 100, 90};
  for (int b = 0; b < 6; ++b) field.orbit_radius[b] = radii[b];
  effect.frame_count = 37;
  effect.band_level[0] = 90;

  blobtest::Lattice previous;
  for (int frame = 0; frame < 3; ++frame) {
    SCOPED_TRACE(testing::Message() << "frame " << frame);
    const blobfx::Vec3 before = field.ball_centre[0];
    effect.vertex_count = 0;
    effect.face_count = 0;
    effect.build_surface();
    const blobfx::Vec3 after = field.ball_centre[0];
    EXPECT_TRUE(before.x != after.x || before.y != after.y) << "the balls did not move";
    // The field of the moved balls, point by point: the mesh must be its surface and nothing else.
    const blobtest::Lattice values = blobtest::sampled_lattice(field);
    EXPECT_NE(values, previous) << "the field did not change between frames";
    check_surface(effect, values, true);
    const blobtest::ReferenceSweep reference = blobtest::reference_sweep(values);
    blobtest::expect_same_surface(effect, *reference.effect);
    ASSERT_GT(effect.face_count, 100);
    previous = values;
    effect.frame_count += 1;
  }
}

// The mesh of one silent frame: a closed sphere around (0, 0, 480).
TEST(SurfaceSweep, SilenceMakesAClosedSphere) {
  BlobEffect effect;
  effect.build_surface();
  const std::int32_t nv = effect.vertex_count;
  const std::int32_t nf = effect.face_count;
  ASSERT_GT(nv, 100);
  ASSERT_GT(nf, 100);

  std::map<std::pair<int, int>, int> directed;  // each directed edge once: closed and oriented
  std::vector<int> uses(nv, 0);
  for (std::int32_t f = 0; f < nf; ++f) {
    const std::int32_t* v = effect.faces[f].vertex_index;
    for (int c = 0; c < 3; ++c) {
      ASSERT_GE(v[c], 0);
      ASSERT_LT(v[c], nv);
      uses[v[c]] += 1;
      directed[{v[c], v[(c + 1) % 3]}] += 1;
    }
    // The normal (P0 - P1) x (P2 - P1) points into the blob, toward its centre.
    const blobfx::Vec3 p0 = effect.vertices[v[0]].position;
    const blobfx::Vec3 p1 = effect.vertices[v[1]].position;
    const blobfx::Vec3 p2 = effect.vertices[v[2]].position;
    const blobfx::Vec3 normal = render3d::cross(p0 - p1, p2 - p1);
    const blobfx::Vec3 centroid = (p0 + p1 + p2) * (1.0 / 3.0);
    EXPECT_LT(render3d::dot(normal, centroid - blobfx::Vec3{0.0, 0.0, 480.0}), 0.0) << "face " << f;
  }
  for (const auto& [edge, count] : directed) {
    ASSERT_EQ(count, 1) << edge.first << "->" << edge.second;
    ASSERT_EQ(directed.count({edge.second, edge.first}), 1u) << edge.first << "-" << edge.second;
  }
  // Every vertex belongs to a fan of faces around it; V - E + F = 2 for a sphere.
  for (std::int32_t v = 0; v < nv; ++v) ASSERT_GE(uses[v], 3) << "vertex " << v;
  const long edges = static_cast<long>(directed.size()) / 2;
  EXPECT_EQ(nv - edges + nf, 2);

  // Each interior edge is interpolated once: no two vertices coincide.
  std::set<std::tuple<double, double, double>> positions;
  double min_r = 1e9, max_r = 0.0, sum_r = 0.0;
  for (std::int32_t v = 0; v < nv; ++v) {
    const blobfx::Vec3& p = effect.vertices[v].position;
    positions.insert({p.x, p.y, p.z});
    const double r = std::sqrt(p.x * p.x + p.y * p.y + (p.z - 480.0) * (p.z - 480.0));
    min_r = std::min(min_r, r);
    max_r = std::max(max_r, r);
    sum_r += r;
  }
  EXPECT_EQ(positions.size(), static_cast<std::size_t>(nv));
  EXPECT_GT(min_r, 176.0);
  EXPECT_LT(max_r, 182.0);
  EXPECT_NEAR(sum_r / nv, 179.6, 1.0);

  // Every crossed edge of the field has exactly one vertex (so an interior cell made at most the
  // three of its own edges 5, 6 and 10), and the cache holds them.
  const blobtest::Lattice values = blobtest::sampled_lattice(*effect.ball_field);
  const SweepFacts facts = check_surface(effect, values, true);
  EXPECT_EQ(facts.crossed_edges, nv);
}

// The sweep of a field that needs more than the capacities, against the cell-by-cell sweep: the
// same mesh, cut short at the first cell that fails the headroom test, nothing emitted from there
// on and the cache slots of every cell from there on left at -1.
void expect_cut_short(const BlobEffect& effect, const blobtest::Lattice& values) {
  const blobtest::ReferenceSweep reference = blobtest::reference_sweep(values);
  blobtest::expect_same_surface(effect, *reference.effect);
  check_surface(effect, values, false);
  EXPECT_LE(effect.vertex_count, blobfx::kVertexCapacity);
  EXPECT_LE(effect.face_count, blobfx::kFaceCapacity);

  // From the first cell that fails the headroom test on, nothing more is emitted.
  const std::vector<blobtest::CellRecord>& cells = reference.cells;
  ASSERT_EQ(cells.size(), 10648u);
  std::size_t first_failing = cells.size();
  for (std::size_t c = 0; c < cells.size(); ++c) {
    const blobtest::CellRecord& r = cells[c];
    ASSERT_EQ(r.n, static_cast<int>(c));
    ASSERT_LE(r.vertices_after, blobfx::kVertexCapacity);
    ASSERT_LE(r.faces_after, blobfx::kFaceCapacity);
    if (r.vertices_before + 8 >= 6000 || r.faces_before + 4 >= 5000) {
      first_failing = c;
      break;
    }
  }
  ASSERT_LT(first_failing, cells.size()) << "the field did not fill the mesh";
  for (std::size_t c = first_failing; c < cells.size(); ++c) {
    const blobtest::CellRecord& r = cells[c];
    ASSERT_EQ(r.vertices_after, r.vertices_before) << "cell " << c;
    ASSERT_EQ(r.faces_after, r.faces_before) << "cell " << c;
  }
  // Cells after the cut are never reached with cache slots set.
  for (std::size_t c = first_failing; c < cells.size(); ++c) {
    for (int s = 0; s < 3; ++s) ASSERT_EQ(effect.edge_cache[3 * c + s], -1) << "cell " << c;
  }
}

TEST(SurfaceCapacity, ADenseFieldRunsOutOfFacesAndStopsThere) {
  BlobEffect effect;
  // A checkerboard away from the low boundary planes: every edge of an interior cell is crossed,
  // three new vertices for four faces.
  const blobtest::Lattice values = blobtest::lattice_of([](int i, int j, int k) {
    if (i == 0 || j == 0 || k == 0) return 500;
    return ((i + j + k) & 1) ? -500 : 500;
  });
  blobtest::sweep(effect, values);
  EXPECT_GE(effect.face_count, 4996);
  EXPECT_LT(effect.vertex_count, 5992);
  expect_cut_short(effect, values);
}

TEST(SurfaceCapacity, BoundaryPlaneDuplicatesRunOutOfVerticesAndStopThere) {
  BlobEffect effect;
  // Crossings only on the three low boundary planes, where every cell interpolates its own edges:
  // many vertices for few faces.
  const blobtest::Lattice values = blobtest::lattice_of([](int i, int j, int k) {
    if (i != 0 && j != 0 && k != 0) return 500;
    return ((i + j + k) & 1) ? -500 : 500;
  });
  blobtest::sweep(effect, values);
  EXPECT_GE(effect.vertex_count, 5992);
  EXPECT_LT(effect.face_count, 4996);
  expect_cut_short(effect, values);
}

TEST(SurfaceCapacity, TheHeadroomTestAtTheLimit) {
  const int n = cell_number(5, 6, 7);
  // Needs three new vertices (5, 6, 10): starts at 5991, not at 5992.
  for (const std::int32_t start : {5991, 5992}) {
    BlobEffect effect;
    for (std::int32_t s = 0; s < effect.edge_cache_size; ++s) effect.edge_cache[s] = s % 100;
    effect.vertex_count = start;
    effect.polygonize_cell(make_cell(5, 6, 7, kAllEdgesCrossed), 3 * n, false, false, false);
    EXPECT_EQ(effect.vertex_count, start == 5991 ? 5994 : 5992);
    EXPECT_EQ(effect.face_count, start == 5991 ? 4 : 0);
  }
  for (const std::int32_t start : {4995, 4996}) {
    BlobEffect effect;
    for (std::int32_t s = 0; s < effect.edge_cache_size; ++s) effect.edge_cache[s] = s % 100;
    effect.face_count = start;
    effect.polygonize_cell(make_cell(5, 6, 7, kAllEdgesCrossed), 3 * n, false, false, false);
    EXPECT_EQ(effect.face_count, start == 4995 ? 4999 : 4996);
    EXPECT_EQ(effect.vertex_count, start == 4995 ? 3 : 0);
  }
}

// A cell on two boundary planes may need ten new vertices, one more than the headroom leaves room
// for: it must not overrun the array, and it ends the frame's surface.
TEST(SurfaceCapacity, ACellThatCannotFitAllItsVerticesEndsTheSurface) {
  const int edge_n = cell_number(0, 0, 9);  // first_x and first_y: ten fresh edges
  const int next_n = cell_number(1, 0, 9);
  {
    BlobEffect effect;
    std::fill_n(effect.edge_cache.get(), effect.edge_cache_size, -1);
    effect.vertex_count = 5990;
    effect.polygonize_cell(make_cell(0, 0, 9, kAllEdgesCrossed), 3 * edge_n, true, true, false);
    EXPECT_EQ(effect.vertex_count, 6000);  // exactly fills the array
    EXPECT_EQ(effect.face_count, 4);
  }
  {
    BlobEffect effect;
    for (std::int32_t s = 0; s < effect.edge_cache_size; ++s) effect.edge_cache[s] = s % 100;
    effect.edge_cache[3 * edge_n] = -1;
    effect.edge_cache[3 * edge_n + 1] = -1;
    effect.edge_cache[3 * edge_n + 2] = -1;
    effect.vertex_count = 5991;
    effect.polygonize_cell(make_cell(0, 0, 9, kAllEdgesCrossed), 3 * edge_n, true, true, false);
    EXPECT_EQ(effect.vertex_count, 5991);
    EXPECT_EQ(effect.face_count, 0);
    EXPECT_EQ(effect.edge_cache[3 * edge_n], -1);
    // The next cell would pass the headroom test, but it would read the slots the cut cell left
    // empty: it emits nothing either.
    effect.polygonize_cell(make_cell(1, 0, 9, kAllEdgesCrossed), 3 * next_n, false, true, false);
    EXPECT_EQ(effect.vertex_count, 5991);
    EXPECT_EQ(effect.face_count, 0);
    // A new sweep starts whole again.
    effect.vertex_count = 0;
    effect.face_count = 0;
    effect.build_surface();
    EXPECT_GT(effect.face_count, 0);
  }
}

}  // namespace
