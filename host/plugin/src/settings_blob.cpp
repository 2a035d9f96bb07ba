#include "plugin/settings_blob.hpp"

#include <cstdio>

namespace apehost {
namespace {

std::uint32_t word_at(const SettingsBlob& blob, std::size_t offset) {
  return std::uint32_t{blob[offset]} | std::uint32_t{blob[offset + 1]} << 8 |
         std::uint32_t{blob[offset + 2]} << 16 | std::uint32_t{blob[offset + 3]} << 24;
}

void put_word(SettingsBlob& blob, std::size_t offset, std::uint32_t word) {
  for (int b = 0; b < 4; ++b) blob[offset + b] = static_cast<std::uint8_t>(word >> (8 * b));
}

}  // namespace

std::uint32_t blob_colour(const SettingsBlob& blob, int index) {
  return word_at(blob, 4 * static_cast<std::size_t>(index));
}
std::int32_t blob_colour_count(const SettingsBlob& blob) {
  return static_cast<std::int32_t>(word_at(blob, kColourCountOffset));
}
std::int32_t blob_on_beat(const SettingsBlob& blob) {
  return static_cast<std::int32_t>(word_at(blob, kOnBeatOffset));
}

void set_blob_colour(SettingsBlob& blob, int index, std::uint32_t colour) {
  put_word(blob, 4 * static_cast<std::size_t>(index), colour);
}
void set_blob_colour_count(SettingsBlob& blob, std::int32_t count) {
  put_word(blob, kColourCountOffset, static_cast<std::uint32_t>(count));
}
void set_blob_on_beat(SettingsBlob& blob, std::int32_t on_beat) {
  put_word(blob, kOnBeatOffset, static_cast<std::uint32_t>(on_beat));
}

std::string blob_hex(const SettingsBlob& blob) {
  std::string text;
  char byte[3];
  for (std::size_t i = 0; i < blob.size(); ++i) {
    if (i > 0 && i % 4 == 0) text += ' ';
    std::snprintf(byte, sizeof byte, "%02x", blob[i]);
    text += byte;
  }
  return text;
}

std::string colour_text(std::uint32_t colour) {
  char text[16];
  if (colour >> 24) {
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(colour));
  } else {
    std::snprintf(text, sizeof text, "%06x", static_cast<unsigned>(colour));
  }
  return text;
}

std::string describe_blob(const SettingsBlob& blob, const std::string& indent) {
  const std::int32_t count = blob_colour_count(blob);
  // A blob fresh from save_settings has a count of 1..16; show a raw one without reading past the
  // table.
  const int shown = count < 1 ? 0 : count > kBlobColours ? kBlobColours : count;
  std::string text = indent + "colour count: " + std::to_string(count) + "\n";
  text += indent + "colours cycled:";
  for (int i = 0; i < shown; ++i) text += " " + colour_text(blob_colour(blob, i));
  text += "\n";
  std::string kept;
  for (int i = shown; i < kBlobColours; ++i) {
    if (blob_colour(blob, i) != 0)
      kept += " " + std::to_string(i) + "=" + colour_text(blob_colour(blob, i));
  }
  if (!kept.empty()) text += indent + "kept, not cycled:" + kept + "\n";
  const std::int32_t on_beat = blob_on_beat(blob);
  text += indent + "on-beat colour change: " + (on_beat ? "on" : "off");
  if (on_beat != 0 && on_beat != 1) text += " (" + std::to_string(on_beat) + ")";
  text += "\n";
  return text;
}

}  // namespace apehost
