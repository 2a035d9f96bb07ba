// The outline of a whole mesh, derived from the rows it covered and the final depth buffer.
//
// Drawing triangle by triangle, a row filled from column c0 to c1 marks (c0 - 1, y) when c0 > 0,
// (c1 + 1, y), and columns c0..c1 of row y - 1 when y > 0 and of row y + 1 when y < height - 2;
// each mark writes the outline colour only where the depth is still 0 at that moment. Where the
// rows are only recorded (every pixel of a recorded row got a depth of 1..65535 there), the same
// pixels come out of this rule, applied to the rows recorded since it was last applied:
//   - a covered pixel holds a depth above 0 from then on (only a fill whose depth wraps can put
//     0 back, and the marks are applied before such a fill), so no later mark changed it and any
//     earlier one was covered by its fill: it is left alone;
//   - an uncovered pixel whose depth is above 0 now was filled after, or over, every mark it got;
//   - an uncovered pixel whose depth is 0 now had no fill after those marks (a fill that leaves 0
//     comes after the marks are applied), so every one of them stands. It got one exactly when a
//     4-neighbour was covered: left or right (that row began or ended beside it), below, or above
//     unless it is the last row, which no row above marks.

#include <bit>
#include <cstddef>
#include <cstdint>

#include "outline.hpp"
#include "render3d/rasterizer.hpp"

namespace render3d {

namespace {
constexpr std::uint32_t kOutlineColour = 0x010101u;
}  // namespace

void apply_outline(const RenderTarget& t) noexcept {
  OutlineMarks* const marks = t.outline;
  if (marks == nullptr || marks->last_row < 0) return;

  const std::size_t stride = static_cast<std::size_t>(marks->words_per_row);
  const std::size_t width = static_cast<std::size_t>(t.width);
  const std::int32_t last_word_of_row = marks->words_per_row - 1;
  std::uint64_t* const words = marks->words;
  const auto row_words = [&](std::int32_t y) {
    return words + static_cast<std::size_t>(y) * stride;
  };

  // Marks reach one row and one column beyond what was covered; everything outside the covered
  // rectangle is zero, so its words may be read as they are.
  const std::ptrdiff_t y_begin = marks->first_row > 0 ? marks->first_row - 1 : 0;
  const std::ptrdiff_t y_end = marks->last_row < t.height - 1 ? marks->last_row + 1 : t.height - 1;
  const std::ptrdiff_t w_begin = marks->first_word > 0 ? marks->first_word - 1 : 0;
  const std::ptrdiff_t w_end =
      marks->last_word < last_word_of_row ? marks->last_word + 1 : last_word_of_row;

  for (std::ptrdiff_t y = y_begin; y <= y_end; ++y) {
    const std::uint64_t* const row = row_words(y);
    // Row y - 1 marks row y unless y is the last row; row y + 1 always does.
    const std::uint64_t* const above = y > 0 && y < t.height - 1 ? row_words(y - 1) : nullptr;
    const std::uint64_t* const below = y < t.height - 1 ? row_words(y + 1) : nullptr;
    std::uint32_t* const frame = t.frame + static_cast<std::size_t>(y) * width;
    const std::uint16_t* const depth = t.depth + static_cast<std::size_t>(y) * width;
    for (std::ptrdiff_t w = w_begin; w <= w_end; ++w) {
      const std::uint64_t here = row[w];
      const std::uint64_t before = w > 0 ? row[w - 1] : 0u;
      const std::uint64_t after = w < last_word_of_row ? row[w + 1] : 0u;
      std::uint64_t marked = (here << 1) | (before >> 63) | (here >> 1) | (after << 63);
      if (above != nullptr) marked |= above[w];
      if (below != nullptr) marked |= below[w];
      marked &= ~here;
      // Each marked bit is a column below width: nothing is covered in column width - 1.
      const std::size_t base = static_cast<std::size_t>(w) << detail::kWordShift;
      while (marked != 0) {
        const std::size_t c = base + static_cast<std::size_t>(std::countr_zero(marked));
        if (depth[c] == 0) frame[c] = kOutlineColour;
        marked &= marked - 1;
      }
    }
  }

  detail::clear_marks(*marks);
}

}  // namespace render3d
