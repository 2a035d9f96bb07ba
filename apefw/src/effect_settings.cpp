#include "apefw/effect_settings.hpp"

#include "apefw/shared_field.hpp"

namespace apefw {
namespace {

constexpr int kWords = kSettingsBytes / 4;
constexpr std::uint32_t kCountWord = offsetof(EffectSettings, colour_count) / 4;

// The record as 18 little-endian words, in blob order.
std::uint32_t* words(EffectSettings& settings) noexcept {
  static_assert(sizeof(EffectSettings) == kWords * sizeof(std::uint32_t));
  return reinterpret_cast<std::uint32_t*>(&settings);
}
const std::uint32_t* words(const EffectSettings& settings) noexcept {
  return reinterpret_cast<const std::uint32_t*>(&settings);
}

}  // namespace

void reset_settings(EffectSettings& settings) noexcept {
  std::uint32_t* w = words(settings);
  for (int i = 0; i < kWords; ++i) write_shared(w[i], std::uint32_t{0});
  write_shared(settings.colour_count, std::int32_t{1});
  write_shared(settings.colours[0], kDefaultColour);
}

void load_settings_blob(EffectSettings& settings, const std::uint8_t* data, int length) noexcept {
  // The length is taken as unsigned, so a negative one counts as very large and is ignored.
  const auto bytes = static_cast<std::uint32_t>(length);
  if (data && bytes <= kSettingsBytes) {
    std::uint32_t* w = words(settings);
    for (std::uint32_t i = 0; i * 4 < bytes; ++i) {
      // A blob that ends inside this word replaces only its low-order bytes; the word is still
      // stored whole, so a panel or frame reading it never sees a half-written value.
      std::uint32_t word = read_shared(w[i]);
      for (std::uint32_t b = 0; b < 4 && i * 4 + b < bytes; ++b) {
        const std::uint32_t shift = 8 * b;
        word = (word & ~(0xFFu << shift)) | (std::uint32_t{data[i * 4 + b]} << shift);
      }
      // The count is clamped before it is stored, not after: a frame or the panel reading it in
      // between would see a count outside 1..16, and a colour index past the list.
      if (i == kCountWord) {
        word = static_cast<std::uint32_t>(clamp_colour_count(static_cast<std::int32_t>(word)));
      }
      write_shared(w[i], word);
    }
  }
  write_shared(settings.colour_count, clamp_colour_count(read_shared(settings.colour_count)));
}

int save_settings_blob(const EffectSettings& settings, std::uint8_t* buffer) noexcept {
  if (!buffer) return 0;
  const std::uint32_t* w = words(settings);
  for (int i = 0; i < kWords; ++i) {
    const std::uint32_t word = read_shared(w[i]);
    for (int b = 0; b < 4; ++b) buffer[i * 4 + b] = static_cast<std::uint8_t>(word >> (8 * b));
  }
  return kSettingsBytes;
}

}  // namespace apefw
