#include "cli/command_options.hpp"

#include <iostream>
#include <optional>

#include "base/host_error.hpp"
#include "cli/cli_values.hpp"
#include "cli/commands.hpp"
#include "plugin/demo_chain.hpp"
#include "plugin/plugin_loader.hpp"
#include "plugin/plugin_search.hpp"
#include "plugin/preset.hpp"
#include "plugin/tick_count.hpp"

namespace apehost {
namespace {

ChainPlan plan_chain_of(const ChainOptions& o, const std::vector<std::string>& plugins) {
  if (o.settings.size() > plugins.size()) {
    throw bad_input("--settings", std::to_string(o.settings.size()) + " blobs for " +
                                      std::to_string(plugins.size()) + " plug-in" +
                                      (plugins.size() == 1 ? "" : "s"));
  }
  std::optional<std::uint32_t> ticks;
  if (o.ticks_option && o.ticks_option->count()) ticks = o.ticks;
  return apehost::plan_chain(plugins, o.settings, ticks, print_note);
}

void add_inputs_of(CommandFiles& files, const ChainOptions& o,
                   const std::vector<std::string>& plugins) {
  for (const std::string& plugin : plugins) {
    for (const auto& file : plugin_files_for(plugin)) files.input("the plug-in", file.string());
  }
  for (const std::string& blob : o.settings) files.input("--settings", blob);
}

}  // namespace

void print_note(const std::string& note) { std::cerr << "apehost: note: " << note << "\n"; }

void add_stack_inputs(CommandFiles& files, const ChainOptions& chain, const PresetOptions& preset,
                      bool demo_by_default) {
  if (preset.option && preset.option->count()) {
    files.input("--preset", preset.path);
    // A preset that cannot be read is refused here, with its file and line.
    std::vector<std::string> plugins;
    for (const PresetEffect& effect : read_preset(preset.path).effects) {
      plugins.push_back(preset_plugin_argument(effect, preset.path));
    }
    add_inputs_of(files, chain, plugins);
    return;
  }
  add_inputs_of(files, chain,
                demo_by_default && chain.plugins.empty() ? demo_plugins() : chain.plugins);
}

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

ChainPlan plan_chain(const ChainOptions& o) { return plan_chain_of(o, o.plugins); }

ChainPlan plan_demo_chain(const ChainOptions& o) { return plan_chain_of(o, demo_plugins()); }

std::string tick_count_note() {
  std::uint32_t seed = 0;
  return last_lent_tick_count(seed) ? " (tick count " + std::to_string(seed) + ")" : "";
}

void add_background_options(CLI::App& app, BackgroundOptions& o) {
  auto* background = o.colour_option =
      app.add_option("--background", o.colour,
                     "Colour each frame starts from, 0xRRGGBB (default 0x000000)")
          ->type_name("0xRRGGBB");
  auto* keep = o.keep_option =
      app.add_flag("--keep", o.keep, "Start each frame from the previous one instead");
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

void add_preset_option(CLI::App& app, PresetOptions& o) {
  o.option = app.add_option("--preset", o.path,
                            "Preset file (TOML, as apehost preset save, key S and the web page "
                            "write them): the plug-ins, their settings and the background")
                 ->type_name("FILE");
}

EffectChain create_stack(const Stack& stack) {
  return stack.demo ? create_demo_chain(stack.plan) : create_chain(stack.plan);
}

Stack resolve_stack(const ChainOptions& chain, const BackgroundOptions& background,
                    const PresetOptions& preset, bool demo_by_default) {
  Stack stack;
  if (preset.option && preset.option->count()) {
    const std::pair<CLI::Option*, const char*> stack_options[] = {
        {chain.plugins_option, "PLUGIN arguments"},
        {chain.settings_option, "--settings"},
        {background.colour_option, "--background"},
        {background.keep_option, "--keep"},
        {background.fade_option, "--fade"}};
    for (const auto& [option, name] : stack_options) {
      if (option && option->count()) {
        throw bad_input("--preset", std::string("not together with ") + name +
                                        ": the preset holds the plug-ins, their settings and the "
                                        "background");
      }
    }
    // The preset's own errors name its file and line, and stand as they are.
    const Preset read = read_preset(preset.path);
    std::optional<std::uint32_t> ticks;
    if (chain.ticks_option && chain.ticks_option->count()) ticks = chain.ticks;
    stack.plan = plan_preset(read, preset.path, ticks, print_note);
    stack.background = read.background;
    return stack;
  }
  stack.background = resolve_background(background);
  stack.demo = demo_by_default && chain.plugins.empty();
  stack.plan = stack.demo ? plan_demo_chain(chain) : plan_chain(chain);
  return stack;
}

CLI::Option* add_fps_option(CLI::App& app, int& fps, const std::string& what) {
  return app.add_option("--fps", fps, what)
      ->type_name("N")
      ->check(CLI::Range(1, kMaxFramesPerSecond));
}

}  // namespace apehost
