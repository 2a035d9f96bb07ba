// apehost info PLUGIN: what the host learns from a module, and the settings of a fresh effect.

#include <iostream>
#include <memory>

#include "cli/command_options.hpp"
#include "cli/commands.hpp"
#include "plugin/plugin_loader.hpp"
#include "plugin/plugin_search.hpp"
#include "plugin/settings_blob.hpp"

namespace apehost {

Command add_info_command(CLI::App& parent) {
  auto plugin = std::make_shared<std::string>();
  CLI::App* app = parent.add_subcommand(
      "info", "Show a plug-in's short name, long description and default settings blob");
  app->add_option("PLUGIN", *plugin, kPluginHelp)->required();

  return {app, [plugin] {
            const PluginModule module = load_plugin(*plugin, print_note);
            EffectInstance effect = module.create_effect();
            const SettingsBlob blob = effect.save_settings();
            std::cout << "file:        " << module.path() << "\n"
                      << "name:        " << module.short_name() << "\n"
                      << "description: " << module.long_description() << "\n";
            const std::string described = effect.describe();
            if (described != module.long_description()) {
              std::cout << "describe():  " << described << "\n";
            }
            std::cout << "settings:    " << blob_hex(blob) << "\n" << describe_blob(blob, "  ");
            return 0;
          }};
}

}  // namespace apehost
