#include "plugin/chain_plan.hpp"

#include <stdexcept>

#include "apefw/ape_abi.h"
#include "base/file_io.hpp"
#include "plugin/plugin_search.hpp"
#include "plugin/tick_count.hpp"

namespace apehost {
namespace {

// A settings blob longer than this is not a settings blob at all; the effect would ignore anything
// over 72 bytes anyway.
constexpr std::size_t kMaxSettingsFile = 64 * 1024;

}  // namespace

ChainPlan plan_chain(const std::vector<std::string>& plugins,
                     const std::vector<std::string>& settings_files,
                     std::optional<std::uint32_t> ticks, const ChainNote& note) {
  if (settings_files.size() > plugins.size()) {
    throw std::invalid_argument("more settings files than plug-ins");
  }
  ChainPlan plan;
  plan.plugins = plugins;
  for (const std::string& plugin : plugins) {
    plan.modules.push_back(load_plugin(plugin, note));
  }
  for (const std::string& path : settings_files) {
    plan.blobs.push_back(read_file_bytes(path, kMaxSettingsFile));
    if (plan.blobs.back()->size() > APE_SETTINGS_BYTES && note) {
      note(path + " has " + std::to_string(plan.blobs.back()->size()) +
           " bytes; effects ignore a settings blob longer than " +
           std::to_string(APE_SETTINGS_BYTES));
    }
  }
  plan.ticks = ticks;
  return plan;
}

EffectChain create_chain(const ChainPlan& plan) {
  // Each effect's constructor seeds its random generator from the tick count it asks us for.
  if (plan.ticks) {
    fix_tick_count(*plan.ticks);
  } else {
    use_real_tick_count();
  }
  EffectChain chain;
  for (std::size_t i = 0; i < plan.modules.size(); ++i) {
    // The host hands a stored blob over as it is, length and all.
    const bool has_blob = i < plan.blobs.size() && plan.blobs[i];
    chain.add(plan.modules[i], has_blob ? &*plan.blobs[i] : nullptr);
  }
  return chain;
}

}  // namespace apehost
