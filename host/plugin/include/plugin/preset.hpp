#pragma once
// host/plugin: uses base and the C boundary (apefw/ape_abi.h) only; used by media, live and cli.
//
// A preset: the stack of plug-ins in drawing order, each one's settings blob (or the plug-in's
// defaults), and the background, kept in a small TOML file that apehost and the web page both read
// and write:
//
//   version = 1                  # optional; 1 is the only version
//   [background]                 # optional; mode "clear" with colour 0x000000 when left out
//   mode = "fade"                # "clear", "keep" or "fade"
//   amount = 8                   # "fade" only, and required there: 1..255
//   colour = "0x000000"          # "clear" only: 0xRRGGBB
//   [[effect]]                   # one per plug-in, at least one, in drawing order
//   plugin = "blobfx"            # a name or a path, as on the command line
//   settings = """..."""         # optional: the 72 bytes as 144 hex digits, whitespace anywhere
//
// Read strictly: an unknown key or table is an error, so a typo is never silently ignored.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plugin/background.hpp"
#include "plugin/chain_plan.hpp"
#include "plugin/plugin_search.hpp"
#include "plugin/settings_blob.hpp"

namespace apehost {

inline constexpr std::int64_t kPresetVersion = 1;

struct PresetEffect {
  std::string plugin;                    // a name or a path
  std::optional<SettingsBlob> settings;  // none: the plug-in's defaults
};

struct Preset {
  std::vector<PresetEffect> effects;
  Background background;
};

// Reads a preset file. Throws a bad-input error whose subject is "FILE:LINE" (or "FILE" alone where
// the line cannot be told), so it prints as "FILE:LINE: REASON".
Preset read_preset(const std::string& path);

// The same from text; file is the name errors give.
Preset parse_preset(const std::string& text, const std::string& file);

// The text of a preset: a comment line, the version, the background, then each effect, a blob as
// lower-case groups of 8 digits (one 4-byte word each), 8 groups to a line.
std::string format_preset(const Preset& preset);

// 144 hex digits of either case, spaces, tabs and line breaks anywhere ignored, into the 72 bytes
// in order. Throws std::invalid_argument saying what is wrong.
SettingsBlob parse_blob_hex(const std::string& text);

// The blob as a preset writes it: blob_hex's groups, 8 to a line.
std::string blob_hex_lines(const SettingsBlob& blob);

// A plug-in argument as a preset keeps it: a name stays a name; a path is made absolute, so the
// preset finds the module wherever it is opened from.
std::string preset_plugin(const std::string& argument);

// The PLUGIN argument an effect of the preset at preset_path stands for: a name or an absolute path
// as it is, a relative path taken from the preset's folder.
std::string preset_plugin_argument(const PresetEffect& effect, const std::string& preset_path);

// Loads the preset's plug-ins (as preset_plugin_argument gives them; a name searched as on the
// command line, files skipped there told to note) and hands each its own blob. Errors name the
// module.
ChainPlan plan_preset(const Preset& preset, const std::string& preset_path,
                      std::optional<std::uint32_t> ticks, const PluginNote& note);

}  // namespace apehost
