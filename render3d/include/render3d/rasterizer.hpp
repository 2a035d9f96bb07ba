#pragma once
// The triangle rasterizer: projects one triangle onto the frame, fills it row by row with a 16-bit
// depth test and Gouraud-interpolated colour, and marks the still-empty pixels around what it fills
// with 0x010101, so the finished mesh carries a one-pixel dark outline. One scan converter serves
// both effects; they differ only in how a triangle is turned away and in the projection scale.
//
// A mesh is drawn as one batch: with outline marks in the target, every triangle of the mesh is
// filled first and the outline is put down once, by apply_outline, when the last one is done; the
// pixels come out exactly as if each triangle had marked its own outline as it went (which is what
// a target without outline marks gets).

#include <cstdint>

#include "render3d/mesh.hpp"
#include "render3d/outline_marks.hpp"

namespace render3d {

// Everything a triangle is drawn into. Pixel (c, y) of both arrays is entry y * width + c.
struct RenderTarget {
  std::uint32_t* frame;  // 0x00RRGGBB, drawn over in place
  std::uint16_t* depth;  // 0 = empty; larger = nearer; all zero at the start of a frame
  std::int32_t width;
  std::int32_t height;
  // Null: each triangle marks its outline as it is drawn. Otherwise the marks are collected here
  // (made for this width and height, all zero) until apply_outline.
  OutlineMarks* outline = nullptr;
};

// Turned away by the view: rejected when the summed corner normals point along the summed corner
// positions (T . S > 15) or when a corner lies outside three half-frames in x or y; projected with
// scale zoom x min(width/2, height/2).
struct ViewFacingRules {
  double zoom;
};

// Turned away by the face normal: rejected when its z is below -0.3; projected with scale
// min(width/2, height/2).
struct FaceNormalRules {
  Vec3 face_normal;
};

// Both reject any corner nearer than z = 1. The corners are read only.
void draw_triangle(const RenderTarget& target, const MeshVertex& c0, const MeshVertex& c1,
                   const MeshVertex& c2, const ViewFacingRules& rules) noexcept;
void draw_triangle(const RenderTarget& target, const MeshVertex& c0, const MeshVertex& c1,
                   const MeshVertex& c2, const FaceNormalRules& rules) noexcept;

// Puts down the outline of everything drawn into target since the last call, and leaves the marks
// all zero for the next mesh. Nothing to do for a target without outline marks.
void apply_outline(const RenderTarget& target) noexcept;

}  // namespace render3d
