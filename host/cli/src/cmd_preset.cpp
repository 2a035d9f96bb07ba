// apehost preset save PLUGIN ... -o FILE: a preset file from the options the commands take, for
// play, render and demo --preset (and the web page's import).

#include <iostream>
#include <memory>

#include "base/file_io.hpp"
#include "base/host_error.hpp"
#include "cli/command_options.hpp"
#include "cli/commands.hpp"
#include "cli/output_policy.hpp"
#include "plugin/preset.hpp"

namespace apehost {
namespace {

struct PresetSaveOptions {
  ChainOptions chain;
  BackgroundOptions background;
  std::string output;
  bool overwrite = false;
};

std::string background_text(const Background& background) {
  switch (background.mode) {
    case Background::Mode::keep:
      return "keep";
    case Background::Mode::fade:
      return "fade " + std::to_string(background.fade);
    case Background::Mode::clear:
      break;
  }
  return "clear to 0x" + colour_text(background.colour);
}

int run_preset_save(const PresetSaveOptions& o) {
  CommandFiles files(o.overwrite);
  add_stack_inputs(files, o.chain, PresetOptions{}, false);
  files.output("-o", o.output);
  const ChainPlan plan = plan_chain(o.chain);
  Preset preset;
  preset.background = resolve_background(o.background);
  std::string summary;
  for (std::size_t i = 0; i < plan.modules.size(); ++i) {
    PresetEffect effect;
    effect.plugin = preset_plugin(plan.plugins[i]);
    if (i < plan.blobs.size() && plan.blobs[i]) {
      // What the effect keeps of the blob, as the host would store it: its own clamping applies,
      // and a short or long file becomes the 72 bytes it loads to.
      EffectInstance instance = plan.modules[i].create_effect();
      instance.load_settings(plan.blobs[i]->data(), static_cast<int>(plan.blobs[i]->size()));
      effect.settings = instance.save_settings();
    }
    summary += (i == 0 ? "" : ", ") + plan.modules[i].short_name() +
               (effect.settings ? " with its settings" : " with its defaults");
    preset.effects.push_back(std::move(effect));
  }
  const std::string text = format_preset(preset);
  write_file_bytes(o.output, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                   files.existing());
  std::cout << "wrote " << o.output << ": " << summary << "; background "
            << background_text(preset.background) << "\n";
  return 0;
}

}  // namespace

Command add_preset_command(CLI::App& parent) {
  auto o = std::make_shared<PresetSaveOptions>();
  CLI::App* app = parent.add_subcommand(
      "preset", "Presets: files naming a stack of plug-ins, their settings and the background");
  app->require_subcommand(1);
  CLI::App* save = app->add_subcommand(
      "save",
      "Write a preset from the options play, render and demo take; --preset FILE reopens it");
  add_chain_options(*save, o->chain, true);
  save->remove_option(o->chain.ticks_option);  // a preset keeps no tick count
  o->chain.ticks_option = nullptr;
  add_background_options(*save, o->background);
  save->add_option("-o,--output", o->output, "Preset file to write (TOML)")
      ->required()
      ->type_name("FILE");
  add_overwrite_flag(*save, o->overwrite);
  return {app, [o] { return run_preset_save(*o); }};
}

}  // namespace apehost
