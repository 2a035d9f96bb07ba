// The compiled marching-cubes tables against the data file they were generated from, and the rules
// that tie the two tables to the corner and edge numbering.

#include <gtest/gtest.h>

#include <bit>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "blobfx/marching_cubes_tables.hpp"

namespace {

using blobfx::edge_table;
using blobfx::kEdgeCorners;
using blobfx::triangle_table;

struct DataFile {
  std::vector<std::uint32_t> edges;
  std::vector<std::vector<int>> triangles;
};

DataFile read_data_file() {
  DataFile data;
  std::ifstream in(BLOBFX_TABLES_FILE);
  EXPECT_TRUE(in) << BLOBFX_TABLES_FILE;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (data.edges.size() < 256) {
      data.edges.push_back(static_cast<std::uint32_t>(std::stoul(line, nullptr, 16)));
      continue;
    }
    std::istringstream row(line);
    std::vector<int> values;
    for (int v; row >> v;) values.push_back(v);
    data.triangles.push_back(values);
  }
  return data;
}

int triangles_in_row(int index) {
  int n = 0;
  while (n < 5 && triangle_table[index][3 * n] != -1) ++n;
  return n;
}

TEST(MarchingCubesTables, MatchTheDataFileEntryByEntry) {
  const DataFile data = read_data_file();
  ASSERT_EQ(data.edges.size(), 256u);
  ASSERT_EQ(data.triangles.size(), 256u);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(edge_table[i], data.edges[i]) << "edge table entry " << i;
    ASSERT_EQ(data.triangles[i].size(), 16u) << "triangle row " << i;
    for (int k = 0; k < 16; ++k) {
      EXPECT_EQ(triangle_table[i][k], data.triangles[i][k])
          << "triangle row " << i << " entry " << k;
    }
  }
}

TEST(MarchingCubesTables, EdgeTableFollowsTheCornerRule) {
  for (std::uint32_t index = 0; index < 256; ++index) {
    std::uint32_t expected = 0;
    for (int e = 0; e < 12; ++e) {
      const bool from_outside = (index >> kEdgeCorners[e][0]) & 1u;
      const bool to_outside = (index >> kEdgeCorners[e][1]) & 1u;
      if (from_outside != to_outside) expected |= 1u << e;
    }
    EXPECT_EQ(edge_table[index], expected) << "cube index " << index;
  }
  // The entries the sweep documents, as a quick cross-check of the corner numbering.
  EXPECT_EQ(edge_table[1], 0x109u);
  EXPECT_EQ(edge_table[2], 0x203u);
  EXPECT_EQ(edge_table[3], 0x30Au);
  EXPECT_EQ(edge_table[4], 0x406u);
  EXPECT_EQ(edge_table[15], 0xF00u);
}

TEST(MarchingCubesTables, EveryTriangleRowUsesExactlyTheEdgesOfItsMask) {
  for (int index = 0; index < 256; ++index) {
    const int n = triangles_in_row(index);
    std::uint32_t used = 0;
    for (int k = 0; k < 3 * n; ++k) {
      const int e = triangle_table[index][k];
      ASSERT_GE(e, 0) << "row " << index;
      ASSERT_LT(e, 12) << "row " << index;
      used |= 1u << e;
    }
    EXPECT_EQ(used, edge_table[index]) << "row " << index;
    for (int k = 3 * n; k < 16; ++k) EXPECT_EQ(triangle_table[index][k], -1) << "row " << index;
    // No triangle repeats an edge (it would be degenerate by construction).
    for (int t = 0; t < n; ++t) {
      const int* tri = &triangle_table[index][3 * t];
      EXPECT_TRUE(tri[0] != tri[1] && tri[1] != tri[2] && tri[0] != tri[2]) << "row " << index;
    }
  }
}

TEST(MarchingCubesTables, CountsOfTrianglesPerRow) {
  int rows_with[6] = {};
  int total = 0;
  for (int index = 0; index < 256; ++index) {
    const int n = triangles_in_row(index);
    rows_with[n] += 1;
    total += n;
  }
  EXPECT_EQ(total, 820);
  EXPECT_EQ(rows_with[0], 2);
  EXPECT_EQ(rows_with[1], 16);
  EXPECT_EQ(rows_with[2], 50);
  EXPECT_EQ(rows_with[3], 80);
  EXPECT_EQ(rows_with[4], 76);
  EXPECT_EQ(rows_with[5], 32);
}

// The rows that fix the winding: the shading and the rasterizer's facing test depend on it.
TEST(MarchingCubesTables, RowsThatFixTheWinding) {
  const std::vector<std::pair<int, std::vector<int>>> rows = {
      {0, {}},
      {1, {0, 8, 3}},
      {2, {0, 1, 9}},
      {3, {1, 8, 3, 9, 8, 1}},
      {4, {1, 2, 10}},
      {5, {0, 8, 3, 1, 2, 10}},
      {6, {9, 2, 10, 0, 2, 9}},
      {7, {2, 8, 3, 2, 10, 8, 10, 9, 8}},
      {8, {3, 11, 2}},
      {9, {0, 11, 2, 8, 11, 0}},
      {10, {1, 9, 0, 2, 3, 11}},
      {11, {1, 11, 2, 1, 9, 11, 9, 8, 11}},
      {15, {9, 8, 10, 10, 8, 11}},
      {16, {4, 7, 8}},
      {105, {0, 8, 2, 2, 8, 11, 4, 9, 10, 4, 10, 6}},
      {127, {7, 11, 6}},
      {128, {7, 6, 11}},
      {150, {4, 11, 8, 4, 6, 11, 0, 2, 9, 2, 10, 9}},
      {254, {0, 3, 8}},
      {255, {}},
  };
  for (const auto& [index, expected] : rows) {
    std::vector<int> actual;
    for (int k = 0; k < 16 && triangle_table[index][k] != -1; ++k)
      actual.push_back(triangle_table[index][k]);
    EXPECT_EQ(actual, expected) << "row " << index;
  }
}

}  // namespace
