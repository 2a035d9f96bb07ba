#pragma once
// Recording the rows a mesh covers, for the outline that apply_outline derives when the mesh is
// done. Internal to render3d.

#include <cstddef>
#include <cstdint>

#include "render3d/outline_marks.hpp"

namespace render3d::detail {

inline constexpr int kWordBits = 64;
inline constexpr int kWordShift = 6;  // column c is bit c & 63 of word c >> 6

// The rows and words a triangle may cover, claimed in the marks before it is drawn.
struct MarkedArea {
  std::ptrdiff_t first_row, last_row, first_word, last_word;
};

inline void claim(OutlineMarks& marks, const MarkedArea& area) noexcept {
  if (area.first_row < marks.first_row) marks.first_row = area.first_row;
  if (area.last_row > marks.last_row) marks.last_row = area.last_row;
  if (area.first_word < marks.first_word) marks.first_word = area.first_word;
  if (area.last_word > marks.last_word) marks.last_word = area.last_word;
}

// Remembers that row y was covered from column c0 to c1 (0 <= c0 <= c1 < width - 1), within an
// area already claimed.
inline void cover_span(const OutlineMarks& marks, std::int32_t y, std::int32_t c0,
                       std::int32_t c1) noexcept {
  std::uint64_t* const row = marks.words + y * marks.words_per_row;
  const std::ptrdiff_t w0 = c0 >> kWordShift, w1 = c1 >> kWordShift;
  const std::uint64_t from_c0 = ~std::uint64_t{0} << (c0 & (kWordBits - 1));
  const std::uint64_t to_c1 = ~std::uint64_t{0} >> (kWordBits - 1 - (c1 & (kWordBits - 1)));
  if (w0 == w1) {
    row[w0] |= from_c0 & to_c1;
  } else {
    row[w0] |= from_c0;
    for (std::ptrdiff_t w = w0 + 1; w < w1; ++w) row[w] = ~std::uint64_t{0};
    row[w1] |= to_c1;
  }
}

// Zeroes the words written since the marks were last cleared, and forgets where they were.
inline void clear_marks(OutlineMarks& marks) noexcept {
  for (std::ptrdiff_t y = marks.first_row; y <= marks.last_row; ++y) {
    std::uint64_t* const row = marks.words + y * marks.words_per_row;
    for (std::ptrdiff_t w = marks.first_word; w <= marks.last_word; ++w) row[w] = 0;
  }
  marks = OutlineMarks{marks.words, marks.words_per_row};
}

}  // namespace render3d::detail
