#pragma once
// Where a whole mesh's outline will go, collected while it is drawn and applied once at the end.
//
// The rasterizer marks the still-empty pixels beside every row it fills (the pixels left and right
// of the row, and the same columns one row up and one row down). A mark only lands on a pixel
// whose depth is still 0, and every fill leaves a depth above 0, so instead of testing three rows
// per pixel while filling, the rows a mesh covers are remembered here, one bit per pixel, and the
// outline is derived from those bits and the final depth buffer when the mesh is done
// (render3d::apply_outline). Internal layout; the depth buffer owns the storage.

#include <cstddef>
#include <cstdint>

namespace render3d {

struct OutlineMarks {
  // One bit per pixel, bit c % 64 of word c / 64 of a row; words_per_row words per frame row. All
  // zero outside the rectangle below, and all zero everywhere once the marks have been applied.
  // The counts are address-sized: the rasterizer keeps them in registers while it stores pixels,
  // which a 32-bit count would (by the language's rules) have to be read again after.
  std::uint64_t* words = nullptr;
  std::ptrdiff_t words_per_row = 0;
  // The rows and words written since the marks were last applied; none while last_row < 0.
  std::ptrdiff_t first_row = PTRDIFF_MAX;
  std::ptrdiff_t last_row = -1;
  std::ptrdiff_t first_word = PTRDIFF_MAX;
  std::ptrdiff_t last_word = -1;
};

}  // namespace render3d
