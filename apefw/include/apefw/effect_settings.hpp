#pragma once
// The settings record: the one persisted format of both effects, kept by the host as an opaque
// 72-byte blob in its presets. Little-endian, no header, no version, no checksum.

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace apefw {

inline constexpr int kMaxColours = 16;
inline constexpr int kSettingsBytes = 72;
inline constexpr std::uint32_t kDefaultColour = 0x007FFF;  // red 0x00, green 0x7F, blue 0xFF

struct EffectSettings {
  std::uint32_t colours[kMaxColours];  // 0x00RRGGBB; entries past colour_count are kept, not shown
  std::int32_t colour_count;           // 1..16 after every load
  std::int32_t on_beat_change;         // 0 = off, anything else = on
};

static_assert(sizeof(EffectSettings) == kSettingsBytes);
static_assert(offsetof(EffectSettings, colours) == 0);
static_assert(offsetof(EffectSettings, colour_count) == 64);
static_assert(offsetof(EffectSettings, on_beat_change) == 68);
static_assert(alignof(EffectSettings) == 4);
static_assert(std::is_trivially_copyable_v<EffectSettings>);
static_assert(std::is_standard_layout_v<EffectSettings>);

// Every field can be written by the settings panel on the host's window thread while a frame
// renders, so each word is stored whole by these operations, never byte by byte.

// Defaults of a new effect: all zero, then colour_count 1 and colour 0 = kDefaultColour.
void reset_settings(EffectSettings& settings) noexcept;

// Copies `length` bytes of `data` over the start of the record when 0 <= length <= 72 (bytes beyond
// the length keep their values, so a blob ending inside a field replaces only its low-order bytes);
// a longer (or negative) length, or a null pointer, copies nothing. Then clamps colour_count
// to 1..16.
void load_settings_blob(EffectSettings& settings, const std::uint8_t* data, int length) noexcept;

// Writes the 72 bytes little-endian and returns 72; a null buffer gets nothing and returns 0.
int save_settings_blob(const EffectSettings& settings, std::uint8_t* buffer) noexcept;

// Clamps a colour count to 1..16.
constexpr std::int32_t clamp_colour_count(std::int64_t count) noexcept {
  return count <= 1 ? 1 : count >= kMaxColours ? kMaxColours : static_cast<std::int32_t>(count);
}

}  // namespace apefw
