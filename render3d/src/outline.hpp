#pragma once
// Recording the rows a mesh covers, for the outline that apply_outline derives when the mesh is
// done. Internal to render3d.

#include <cstddef>
#include <cstdint>

#include "render3d/outline_marks.hpp"

namespace render3d::detail {

inline constexpr int kWordBits = 64;
inline constexpr int kWordShift = 6;  // column c is bit c & 63 of word c >> 6

// Remembers that row y was covered from column c0 to c1 (0 <= c0 <= c1 < width - 1).
inline void cover_span(OutlineMarks& marks, std::int32_t y, std::int32_t c0,
                       std::int32_t c1) noexcept {
  std::uint64_t* const row =
      marks.words + static_cast<std::size_t>(y) * static_cast<std::size_t>(marks.words_per_row);
  const std::int32_t w0 = c0 >> kWordShift, w1 = c1 >> kWordShift;
  const std::uint64_t from_c0 = ~std::uint64_t{0} << (c0 & (kWordBits - 1));
  const std::uint64_t to_c1 = ~std::uint64_t{0} >> (kWordBits - 1 - (c1 & (kWordBits - 1)));
  // Both end words take their mask (the same word twice when the span lies within one), then
  // any whole words between.
  const bool one_word = w0 == w1;
  row[w0] |= from_c0 & (one_word ? to_c1 : ~std::uint64_t{0});
  row[w1] |= to_c1 & (one_word ? from_c0 : ~std::uint64_t{0});
  for (std::int32_t w = w0 + 1; w < w1; ++w) row[w] = ~std::uint64_t{0};
  if (y < marks.first_row) marks.first_row = y;
  if (y > marks.last_row) marks.last_row = y;
  if (w0 < marks.first_word) marks.first_word = w0;
  if (w1 > marks.last_word) marks.last_word = w1;
}

}  // namespace render3d::detail
