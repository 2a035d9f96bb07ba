#pragma once
// A plain scalar scanline Gouraud rasterizer, the peer that shows what drawing the same triangles
// costs without our exact integer rules and outline: a float edge walk (one division per edge),
// one division per span, 16.16 fixed-point steps along the span, a 16-bit depth test (larger is
// nearer), pixel centres sampled, no outline.

#include <cstdint>

#include "shaded_meshes.hpp"

namespace apebench {

void plain_draw_triangle(std::uint32_t* frame, std::uint16_t* depth, int width, int height,
                         const ScreenTriangle& triangle);

}  // namespace apebench
