#pragma once
// host/cli: uses live, media, plugin, audio and base; the only layer that knows the command line.
//
// The subcommands of apehost. Each add_*_command registers its options on the parent application
// and returns what main runs when that subcommand was given; the options live with the returned
// action.

#include <CLI/CLI.hpp>
#include <functional>

namespace apehost {

struct Command {
  CLI::App* app = nullptr;
  std::function<int()> run;  // exit status; errors are thrown as HostError
};

Command add_info_command(CLI::App& parent);
Command add_settings_command(CLI::App& parent);
Command add_render_command(CLI::App& parent);
Command add_trace_synth_command(CLI::App& parent);
Command add_analyse_command(CLI::App& parent);
Command add_play_command(CLI::App& parent);
Command add_devices_command(CLI::App& parent);
Command add_demo_command(CLI::App& parent);
Command add_plugins_command(CLI::App& parent);
Command add_preset_command(CLI::App& parent);

// The help text of every PLUGIN argument.
inline constexpr const char* kPluginHelp =
    "Plug-in module: a path to a shared library, or a name such as coilfx or blobfx, looked for in "
    "APEHOST_PLUGIN_PATH, ~/.local/share/apehost/plugins, the installed plug-ins, then the build "
    "tree (apehost plugins lists them)";

}  // namespace apehost
