// Outline marks recorded while a mesh is drawn and put down at the end: where they live (the depth
// buffer's one allocation), when they appear, and that nothing of them outlives a mesh.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "canvas.hpp"
#include "reference_rasterizer.hpp"
#include "render3d/depth_buffer.hpp"
#include "render3d/rasterizer.hpp"

namespace {

using r3dtest::kOutline;
using r3dtest::vertex;
using render3d::FaceNormalRules;
using render3d::MeshVertex;

constexpr std::uint32_t kHost = 0x00405060u;

// A triangle of a 130 x 9 frame whose rows cross the 64-column word boundaries, and a second one
// behind it that only meets it at its edges.
const MeshVertex kFront[3] = {vertex(-30.0, -3.5, 2.0, 0xFF8000u),
                              vertex(60.0, 0.5, 2.0, 0x00FF80u),
                              vertex(-50.0, 3.0, 2.0, 0x8000FFu)};
const MeshVertex kBehind[3] = {vertex(-10.0, -4.0, 4.0, 0x202020u),
                               vertex(70.0, -4.0, 4.0, 0x404040u),
                               vertex(30.0, 5.0, 4.0, 0x606060u)};

TEST(OutlineMarks, TheDepthBufferHoldsThemAndTheyStartEmpty) {
  render3d::DepthBuffer buffer;
  std::vector<std::uint32_t> frame(130 * 9, kHost);
  ASSERT_NE(buffer.prepare(130, 9), nullptr);
  const render3d::RenderTarget t = buffer.target(frame.data());
  EXPECT_EQ(t.depth, buffer.data());
  EXPECT_EQ(t.width, 130);
  EXPECT_EQ(t.height, 9);
  ASSERT_NE(t.outline, nullptr);
  EXPECT_EQ(t.outline->words_per_row, 3);
  for (int i = 0; i < 3 * 9; ++i) EXPECT_EQ(t.outline->words[i], 0u);
  // Without a buffer there is nothing to record into.
  render3d::DepthBuffer none;
  EXPECT_EQ(none.target(frame.data()).outline, nullptr);
  EXPECT_EQ(none.target(frame.data()).depth, nullptr);
}

TEST(OutlineMarks, AppearOnlyWhenAppliedAndMatchMarkingAsYouGo) {
  render3d::DepthBuffer buffer;
  std::vector<std::uint32_t> frame(130 * 9, kHost);
  buffer.prepare(130, 9);
  const render3d::RenderTarget t = buffer.target(frame.data());
  render3d::draw_triangle(t, kFront[0], kFront[1], kFront[2], FaceNormalRules{});
  render3d::draw_triangle(t, kBehind[0], kBehind[1], kBehind[2], FaceNormalRules{});
  for (const std::uint32_t p : frame) EXPECT_NE(p, kOutline) << "marked before the mesh was done";
  render3d::apply_outline(t);
  render3d::apply_outline(t);  // a second time finds nothing left to do

  r3dtest::Canvas reference(130, 9, kHost);
  r3dtest::reference::draw_triangle_reference(reference.target(), kFront[0], kFront[1], kFront[2],
                                              FaceNormalRules{});
  r3dtest::reference::draw_triangle_reference(reference.target(), kBehind[0], kBehind[1],
                                              kBehind[2], FaceNormalRules{});
  int outline = 0;
  for (int y = 0; y < 9; ++y) {
    for (int c = 0; c < 130; ++c) {
      const std::size_t i = static_cast<std::size_t>(y) * 130 + c;
      ASSERT_EQ(frame[i], reference.pixel(c, y)) << c << ", " << y;
      ASSERT_EQ(buffer.data()[i], reference.depth(c, y)) << c << ", " << y;
      outline += frame[i] == kOutline;
    }
  }
  EXPECT_GT(outline, 30);
  EXPECT_LT(t.outline->last_row, 0);
}

TEST(OutlineMarks, MarksOfAMeshNeverAppliedAreDroppedWithTheDepths) {
  render3d::DepthBuffer buffer;
  std::vector<std::uint32_t> frame(130 * 9, kHost);
  buffer.prepare(130, 9);
  render3d::draw_triangle(buffer.target(frame.data()), kFront[0], kFront[1], kFront[2],
                          FaceNormalRules{});
  // The next frame starts from scratch: no outline of the dropped mesh may come back.
  std::vector<std::uint32_t> next(130 * 9, kHost);
  buffer.prepare(130, 9);
  const render3d::RenderTarget t = buffer.target(next.data());
  for (int i = 0; i < 3 * 9; ++i) EXPECT_EQ(t.outline->words[i], 0u);
  render3d::apply_outline(t);
  EXPECT_EQ(next, std::vector<std::uint32_t>(130 * 9, kHost));
}

}  // namespace
