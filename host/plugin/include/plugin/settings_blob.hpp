#pragma once
// host/plugin: uses base and the C boundary (apefw/ape_abi.h) only; used by media, live and cli.
//
// The 72-byte settings blob as the host keeps it: opaque to a host, but apehost reads and writes
// its fields to show and build blobs. Little-endian words: 16 colours 0x00RRGGBB at bytes 0..63,
// the colour count (signed) at 64, the on-beat flag (signed, nonzero = on) at 68. The plug-in stays
// the authority on what a blob means: apehost always passes a blob through load_settings and
// save_settings, so the effect's own clamping decides what is stored.

#include <array>
#include <cstdint>
#include <string>

#include "apefw/ape_abi.h"

namespace apehost {

using SettingsBlob = std::array<std::uint8_t, APE_SETTINGS_BYTES>;

inline constexpr int kBlobColours = 16;
inline constexpr std::size_t kColourCountOffset = 64;
inline constexpr std::size_t kOnBeatOffset = 68;

std::uint32_t blob_colour(const SettingsBlob& blob, int index);
std::int32_t blob_colour_count(const SettingsBlob& blob);
std::int32_t blob_on_beat(const SettingsBlob& blob);

void set_blob_colour(SettingsBlob& blob, int index, std::uint32_t colour);
void set_blob_colour_count(SettingsBlob& blob, std::int32_t count);
void set_blob_on_beat(SettingsBlob& blob, std::int32_t on_beat);

// Lower-case hex, one group of 8 digits per 4-byte word: "ff7f0000 00000000 ...".
std::string blob_hex(const SettingsBlob& blob);

// The blob in words, one field per line, each line starting with indent.
std::string describe_blob(const SettingsBlob& blob, const std::string& indent);

// A colour word as six hex digits, with the top byte shown too when it is not zero.
std::string colour_text(std::uint32_t colour);

}  // namespace apehost
