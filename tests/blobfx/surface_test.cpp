// The surface polygonizer: the grid, edge_vertex, the sampling sweep, the edge cache, the capacity
// cut-off and the closed sphere of a silent field.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "blob_fixtures.hpp"
#include "blobfx/blob_effect.hpp"
#include "blobfx/marching_cubes_tables.hpp"
#include "blobfx/surface.hpp"

namespace {

using blobfx::BlobEffect;
using blobfx::edge_vertex;
using blobfx::GridCell;
using blobfx::GridPoint;
using blobtest::RecordingEffect;
using blobtest::RecordingField;

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

TEST(SurfaceSweep, SamplesEachRowOnceAlongAndNothingElse) {
  BlobEffect effect;
  auto field = std::make_unique<RecordingField>(effect);
  RecordingField& recorder = *field;
  recorder.record = true;
  recorder.points.reserve(44528);
  effect.ball_field = std::move(field);

  effect.build_surface();
  ASSERT_EQ(recorder.samples, 44528);
  ASSERT_EQ(recorder.points.size(), 44528u);

  // The first cell samples its eight corners in order, the next one only corners 1, 2, 5, 6.
  const std::int32_t x0 = -330, x1 = -300, x2 = -270, y0 = -330, y1 = -300, z0 = -247, z1 = -225;
  const std::vector<std::tuple<int, int, int>> expected_start = {
      {x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0}, {x0, y0, z1}, {x1, y0, z1},
      {x1, y1, z1}, {x0, y1, z1}, {x2, y0, z0}, {x2, y1, z0}, {x2, y0, z1}, {x2, y1, z1},
  };
  for (std::size_t s = 0; s < expected_start.size(); ++s) {
    const GridPoint& p = recorder.points[s];
    EXPECT_EQ(std::make_tuple(p.x, p.y, p.z), expected_start[s]) << "sample " << s;
  }
  // The next row starts again with all eight corners of its first cell.
  const GridPoint& row2 = recorder.points[8 + 21 * 4];
  EXPECT_EQ(std::make_tuple(row2.x, row2.y, row2.z), std::make_tuple(-330, -300, -247));

  // Every lattice point, nothing off the lattice.
  std::set<int> zs;
  for (int k = 0; k < 23; ++k) zs.insert(blobfx::lattice_z(k));
  std::set<std::tuple<int, int, int>> distinct;
  for (const GridPoint& p : recorder.points) {
    ASSERT_EQ((p.x + 330) % 30, 0);
    ASSERT_EQ((p.y + 330) % 30, 0);
    ASSERT_TRUE(zs.count(p.z)) << p.z;
    distinct.insert({p.x, p.y, p.z});
  }
  EXPECT_EQ(distinct.size(), 23u * 23u * 23u);

  // Again on the next frame: the count is per frame.
  recorder.record = false;
  effect.build_surface();
  EXPECT_EQ(recorder.samples, 2 * 44528);
}

TEST(SurfaceSweep, CellsComeInSweepOrderWithTheirFlagsAndCarriedValues) {
  RecordingEffect effect;
  effect.build_surface();
  ASSERT_EQ(effect.cells.size(), 10648u);
  for (int n = 0; n < 10648; ++n) {
    const blobtest::CellRecord& r = effect.cells[n];
    const int i = n % 22, j = (n / 22) % 22, k = n / 484;
    ASSERT_EQ(r.cache_index, 3 * n);
    ASSERT_EQ(r.first_x, i == 0);
    ASSERT_EQ(r.first_y, j == 0);
    ASSERT_EQ(r.first_z, k == 0);
    ASSERT_EQ(r.cell.corner[0].x, blobfx::lattice_xy(i));
    ASSERT_EQ(r.cell.corner[6].y, blobfx::lattice_xy(j + 1));
    ASSERT_EQ(r.cell.corner[6].z, blobfx::lattice_z(k + 1));
    for (int c = 0; c < 8; ++c) {
      const GridPoint& p = r.cell.corner[c];
      ASSERT_EQ(r.cell.value[c], effect.ball_field->sample(p.x, p.y, p.z)) << "cell " << n;
    }
  }
}

// The mesh of one silent frame: a closed sphere around (0, 0, 480).
TEST(SurfaceSweep, SilenceMakesAClosedSphere) {
  RecordingEffect effect;
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

  // Only edges 5, 6 and 10 are new in an interior cell.
  for (const blobtest::CellRecord& r : effect.cells) {
    if (!r.first_x && !r.first_y && !r.first_z) {
      ASSERT_LE(r.vertices_after - r.vertices_before, 3);
    }
  }
}

// Lattice indices of a grid point.
int index_x(std::int32_t x) { return (x + 330) / 30; }
int index_z(std::int32_t z) {
  for (int k = 0; k < 23; ++k) {
    if (blobfx::lattice_z(k) == z) return k;
  }
  ADD_FAILURE() << "z " << z << " is off the lattice";
  return 0;
}

// Checks the mesh and the cut-off after a sweep that needed more than the capacities.
void expect_cut_short(const RecordingEffect& effect) {
  EXPECT_LE(effect.vertex_count, blobfx::kVertexCapacity);
  EXPECT_LE(effect.face_count, blobfx::kFaceCapacity);
  std::vector<int> uses(effect.vertex_count, 0);
  for (std::int32_t f = 0; f < effect.face_count; ++f) {
    for (const std::int32_t v : effect.faces[f].vertex_index) {
      ASSERT_GE(v, 0);
      ASSERT_LT(v, effect.vertex_count);
      uses[v] += 1;
    }
  }
  for (std::int32_t v = 0; v < effect.vertex_count; ++v) EXPECT_GT(uses[v], 0) << "vertex " << v;

  // From the first cell that fails the headroom test on, nothing more is emitted.
  std::size_t first_failing = effect.cells.size();
  for (std::size_t c = 0; c < effect.cells.size(); ++c) {
    const blobtest::CellRecord& r = effect.cells[c];
    ASSERT_LE(r.vertices_after, blobfx::kVertexCapacity);
    ASSERT_LE(r.faces_after, blobfx::kFaceCapacity);
    if (r.vertices_before + 8 >= 6000 || r.faces_before + 4 >= 5000) {
      first_failing = c;
      break;
    }
  }
  ASSERT_LT(first_failing, effect.cells.size()) << "the field did not fill the mesh";
  for (std::size_t c = first_failing; c < effect.cells.size(); ++c) {
    const blobtest::CellRecord& r = effect.cells[c];
    ASSERT_EQ(r.vertices_after, r.vertices_before) << "cell " << c;
    ASSERT_EQ(r.faces_after, r.faces_before) << "cell " << c;
  }
  // Cells after the cut are never reached with cache slots set.
  const std::int32_t last = effect.cells.back().cache_index;
  EXPECT_EQ(effect.edge_cache[last], -1);
}

TEST(SurfaceCapacity, ADenseFieldRunsOutOfFacesAndStopsThere) {
  RecordingEffect effect;
  // A checkerboard away from the low boundary planes: every edge of an interior cell is crossed,
  // three new vertices for four faces.
  effect.ball_field =
      std::make_unique<RecordingField>(effect, [](std::int32_t x, std::int32_t y, std::int32_t z) {
        const int i = index_x(x), j = index_x(y), k = index_z(z);
        if (i == 0 || j == 0 || k == 0) return 500;
        return ((i + j + k) & 1) ? -500 : 500;
      });
  effect.build_surface();
  EXPECT_GE(effect.face_count, 4996);
  EXPECT_LT(effect.vertex_count, 5992);
  expect_cut_short(effect);
}

TEST(SurfaceCapacity, BoundaryPlaneDuplicatesRunOutOfVerticesAndStopThere) {
  RecordingEffect effect;
  // Crossings only on the three low boundary planes, where every cell interpolates its own edges:
  // many vertices for few faces.
  effect.ball_field =
      std::make_unique<RecordingField>(effect, [](std::int32_t x, std::int32_t y, std::int32_t z) {
        const int i = index_x(x), j = index_x(y), k = index_z(z);
        if (i != 0 && j != 0 && k != 0) return 500;
        return ((i + j + k) & 1) ? -500 : 500;
      });
  effect.build_surface();
  EXPECT_GE(effect.vertex_count, 5992);
  EXPECT_LT(effect.face_count, 4996);
  expect_cut_short(effect);
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
