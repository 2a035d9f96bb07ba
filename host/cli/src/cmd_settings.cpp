// apehost settings PLUGIN ... -o BLOB: builds a settings blob the way the host's editor would, by
// handing the fields to an effect and keeping what it saves, so the plug-in's own clamping applies.

#include <iostream>
#include <memory>

#include "base/file_io.hpp"
#include "base/host_error.hpp"
#include "cli/cli_values.hpp"
#include "cli/command_options.hpp"
#include "cli/commands.hpp"
#include "cli/output_policy.hpp"
#include "plugin/plugin_loader.hpp"
#include "plugin/plugin_search.hpp"
#include "plugin/settings_blob.hpp"

namespace apehost {
namespace {

struct SettingsOptions {
  std::string plugin;
  std::string colours;
  std::int32_t count = 0;
  bool on_beat = false;
  std::string from;
  std::string output;
  bool overwrite = false;
  CLI::Option* colours_option = nullptr;
  CLI::Option* count_option = nullptr;
  CLI::Option* on_beat_option = nullptr;
  CLI::Option* from_option = nullptr;
};

int run_settings(const SettingsOptions& o) {
  std::vector<std::uint32_t> colours;
  if (o.colours_option->count()) {
    colours = parse_colour_list("--colours", o.colours);
    if (colours.size() > static_cast<std::size_t>(kBlobColours)) {
      throw bad_input("--colours", std::to_string(colours.size()) + " colours; a blob holds " +
                                       std::to_string(kBlobColours));
    }
  }
  CommandFiles files(o.overwrite);
  for (const auto& file : plugin_files_for(o.plugin)) files.input("the plug-in", file.string());
  if (o.from_option->count()) files.input("--from", o.from);
  files.output("-o", o.output);

  const PluginModule module = load_plugin(o.plugin, print_note);
  EffectInstance effect = module.create_effect();

  // Start from the effect's defaults, or from an earlier blob read the way the host reads one.
  if (o.from_option->count()) {
    const std::vector<std::uint8_t> start = read_file_bytes(o.from, APE_SETTINGS_BYTES);
    effect.load_settings(start.data(), static_cast<int>(start.size()));
  }
  SettingsBlob blob = effect.save_settings();

  for (std::size_t i = 0; i < colours.size(); ++i) {
    set_blob_colour(blob, static_cast<int>(i), colours[i]);
  }
  std::int64_t requested_count = blob_colour_count(blob);
  if (o.count_option->count()) {
    requested_count = o.count;
  } else if (!colours.empty()) {
    requested_count = static_cast<std::int64_t>(colours.size());
  }
  set_blob_colour_count(blob, static_cast<std::int32_t>(requested_count));
  if (o.on_beat_option->count()) set_blob_on_beat(blob, o.on_beat ? 1 : 0);

  effect.load_settings(blob.data(), static_cast<int>(blob.size()));
  const SettingsBlob stored = effect.save_settings();
  write_file_bytes(o.output, stored.data(), stored.size(), files.existing());

  std::cout << "wrote " << o.output << " (" << stored.size() << " bytes, " << module.short_name()
            << "):\n"
            << describe_blob(stored, "  ");
  if (blob_colour_count(stored) != requested_count) {
    std::cout << "  (colour count " << requested_count << " was clamped by the plug-in to "
              << blob_colour_count(stored) << ")\n";
  }
  return 0;
}

}  // namespace

Command add_settings_command(CLI::App& parent) {
  auto o = std::make_shared<SettingsOptions>();
  CLI::App* app = parent.add_subcommand(
      "settings",
      "Write a 72-byte settings blob: PLUGIN's defaults (or --from) changed by the options. An "
      "effect "
      "of PLUGIN takes them through its load_settings and save_settings, so its own clamping "
      "applies");
  app->add_option("PLUGIN", o->plugin, kPluginHelp)->required();
  o->colours_option =
      app->add_option("--colours", o->colours,
                      "Colours to cycle through, RRGGBB,RRGGBB,... (at most 16); also sets the "
                      "colour count unless --count is given")
          ->type_name("RRGGBB,...");
  o->count_option =
      app->add_option("--count", o->count, "Colour count (the plug-in clamps it to 1..16)")
          ->type_name("N");
  o->on_beat_option = app->add_flag("--on-beat,!--no-on-beat", o->on_beat,
                                    "Change colour on every beat (--no-on-beat: don't)");
  o->from_option =
      app->add_option("--from", o->from, "Start from this settings blob")->type_name("BLOB");
  app->add_option("-o,--output", o->output, "Settings blob to write")
      ->required()
      ->type_name("BLOB");
  add_overwrite_flag(*app, o->overwrite);
  return {app, [o] { return run_settings(*o); }};
}

}  // namespace apehost
