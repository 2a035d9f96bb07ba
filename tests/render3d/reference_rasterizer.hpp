#pragma once
// The reference scan converter of the differential tests: the rasterizer as it was before its
// rewrite for short spans, every outline mark made as it fills (reference_rasterizer.cpp).

#include "render3d/mesh.hpp"
#include "render3d/rasterizer.hpp"

namespace r3dtest::reference {

void draw_triangle_reference(const render3d::RenderTarget& target, const render3d::MeshVertex& c0,
                             const render3d::MeshVertex& c1, const render3d::MeshVertex& c2,
                             const render3d::ViewFacingRules& rules) noexcept;
void draw_triangle_reference(const render3d::RenderTarget& target, const render3d::MeshVertex& c0,
                             const render3d::MeshVertex& c1, const render3d::MeshVertex& c2,
                             const render3d::FaceNormalRules& rules) noexcept;

}  // namespace r3dtest::reference
