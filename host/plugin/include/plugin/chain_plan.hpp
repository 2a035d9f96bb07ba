#pragma once
// host/plugin: uses base and the C boundary (apefw/ape_abi.h) only; used by media, live and cli.
//
// A stack of plug-ins made from plain values: module names or paths, settings files and a tick
// count. Planning loads every module and reads every settings file first, so a bad one is refused
// before any effect exists (and before a long decode); creating makes the effects in order.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "plugin/effect_chain.hpp"
#include "plugin/plugin_loader.hpp"

namespace apehost {

struct ChainPlan {
  std::vector<std::string> plugins;  // as they were named (a name or a path), in drawing order
  std::vector<PluginModule> modules;
  // The i-th goes to the i-th module; a module without one (none here, or past the end) keeps its
  // defaults.
  std::vector<std::optional<std::vector<std::uint8_t>>> blobs;
  std::optional<std::uint32_t> ticks;  // the tick count to fix; none: the real clock
};

// Told about a settings file the effects will not read whole ("<file> has N bytes; ..."), and about
// a plug-in file found by name that did not load and was skipped.
using ChainNote = std::function<void(const std::string&)>;

// Loads the plug-ins (names or paths, see plugin_search.hpp) and reads the settings files, each
// in order; errors name the module or the file. At most one settings file per plug-in: more is the
// caller's mistake (std::invalid_argument), since only the caller knows where they came from.
ChainPlan plan_chain(const std::vector<std::string>& plugins,
                     const std::vector<std::string>& settings_files,
                     std::optional<std::uint32_t> ticks, const ChainNote& note);

// Fixes the tick count (or lends the real clock) and creates the effects in order, each loading
// its own blob; plug-ins after the last blob keep their defaults.
EffectChain create_chain(const ChainPlan& plan);

}  // namespace apehost
