#include "command_options.hpp"

#include <iostream>
#include <optional>

#include "cli_values.hpp"
#include "commands.hpp"
#include "file_io.hpp"
#include "host_error.hpp"
#include "host_ticks.hpp"
#include "plugin_loader.hpp"

namespace apehost {
namespace {

// A settings blob longer than this is not a settings blob at all; the effect would ignore anything
// over 72 bytes anyway.
constexpr std::size_t kMaxSettingsFile = 64 * 1024;

}  // namespace

void add_chain_options(CLI::App& app, ChainOptions& o, bool plugins_required) {
  o.plugins_option = app.add_option("PLUGIN", o.plugins,
                                    std::string(kPluginHelp) +
                                        ". Several are drawn in order into the same frame, each "
                                        "over the one before, like a preset's list");
  if (plugins_required) o.plugins_option->required();
  o.settings_option =
      app.add_option("--settings", o.settings,
                     "Settings blob loaded once before the first frame; the i-th blob goes to the "
                     "i-th PLUGIN")
          ->type_name("BLOB");
  o.ticks_option =
      app.add_option(
             "--ticks", o.ticks,
             "Tick count the effects seed their random generators with (default: the real clock)")
          ->type_name("N");
}

ChainPlan plan_chain(const ChainOptions& o) {
  if (o.settings.size() > o.plugins.size()) {
    throw bad_input("--settings", std::to_string(o.settings.size()) + " blobs for " +
                                      std::to_string(o.plugins.size()) + " plug-in" +
                                      (o.plugins.size() == 1 ? "" : "s"));
  }
  ChainPlan plan;
  for (const std::string& plugin : o.plugins) {
    plan.modules.push_back(PluginModule::load(resolve_plugin_path(plugin)));
  }
  for (const std::string& path : o.settings) {
    plan.blobs.push_back(read_file_bytes(path, kMaxSettingsFile));
    if (plan.blobs.back().size() > APE_SETTINGS_BYTES) {
      std::cerr << "apehost: note: " << path << " has " << plan.blobs.back().size()
                << " bytes; effects ignore a settings blob longer than " << APE_SETTINGS_BYTES
                << "\n";
    }
  }
  plan.fixed_ticks = o.ticks_option && o.ticks_option->count();
  plan.ticks = o.ticks;
  return plan;
}

EffectChain create_chain(const ChainPlan& plan) {
  // Each effect's constructor seeds its random generator from the tick count it asks us for.
  if (plan.fixed_ticks) {
    fix_tick_count(plan.ticks);
  } else {
    use_real_tick_count();
  }
  EffectChain chain;
  for (std::size_t i = 0; i < plan.modules.size(); ++i) {
    // The host hands a stored blob over as it is, length and all.
    chain.add(plan.modules[i], i < plan.blobs.size() ? &plan.blobs[i] : nullptr);
  }
  return chain;
}

std::string tick_count_note() {
  std::uint32_t seed = 0;
  return last_lent_tick_count(seed) ? " (tick count " + std::to_string(seed) + ")" : "";
}

void add_background_options(CLI::App& app, BackgroundOptions& o) {
  auto* background = app.add_option("--background", o.colour,
                                    "Colour each frame starts from, 0xRRGGBB (default 0x000000)")
                         ->type_name("0xRRGGBB");
  auto* keep = app.add_flag("--keep", o.keep, "Start each frame from the previous one instead");
  keep->excludes(background);
  o.fade_option = app.add_option("--fade", o.fade,
                                 "Start each frame from the previous one darkened by N per "
                                 "channel, so moving objects leave fading trails")
                      ->type_name("N")
                      ->check(CLI::Range(1, kMaxFade));
  o.fade_option->excludes(background);
  o.fade_option->excludes(keep);
}

Background resolve_background(const BackgroundOptions& o) {
  Background background;
  background.colour = parse_colour("--background", o.colour);
  if (o.keep) background.mode = Background::Mode::keep;
  if (o.fade_option && o.fade_option->count()) {
    background.mode = Background::Mode::fade;
    background.fade = o.fade;
  }
  return background;
}

CLI::Option* add_fps_option(CLI::App& app, int& fps, const std::string& what) {
  return app.add_option("--fps", fps, what)
      ->type_name("N")
      ->check(CLI::Range(1, kMaxFramesPerSecond));
}

audio::AudioBuffer load_audio(const std::string& path) {
  std::string error;
  std::optional<audio::AudioBuffer> buffer = audio::decode_audio_file(path, error);
  if (!buffer) throw HostError(error.empty() ? path + ": cannot decode" : error, kExitBadInput);
  if (buffer->frame_count() == 0) throw bad_input(path, "holds no sound (no samples)");
  return std::move(*buffer);
}

}  // namespace apehost
