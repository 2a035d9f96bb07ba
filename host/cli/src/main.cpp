// apehost: a stand-alone host for the effect modules. It loads a module the way the visualisation
// host does and drives its effects through the C boundary only: to inspect them and build settings
// blobs, to show them live on music, and to render songs and sound traces to videos and pictures,
// reproducibly.

#include <CLI/CLI.hpp>
#include <csignal>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "base/host_error.hpp"
#include "base/interruption.hpp"
#include "cli/build_info.hpp"
#include "cli/commands.hpp"

int main(int argc, char** argv) {
  // A write past a file size limit (ulimit -f) fails with EFBIG and is reported like a full disk,
  // instead of ending the program half-way through a file.
  std::signal(SIGXFSZ, SIG_IGN);
  CLI::App app(
      "apehost: load effect plug-ins like the host does, show them live on music, and render "
      "them to videos and pictures reproducibly",
      "apehost");
  app.require_subcommand(1);
  const std::vector<apehost::Command> commands = {
      apehost::add_info_command(app),    apehost::add_settings_command(app),
      apehost::add_render_command(app),  apehost::add_trace_synth_command(app),
      apehost::add_analyse_command(app), apehost::add_play_command(app),
      apehost::add_devices_command(app), apehost::add_demo_command(app),
      apehost::add_plugins_command(app), apehost::add_preset_command(app),
  };
  app.set_version_flag("--version", apehost::version_line(), "Show the version and the commit");

  // CLI11 would call an unknown command a missing one; name it instead.
  if (argc > 1 && argv[1][0] != '-') {
    std::string names;
    bool known = false;
    for (const apehost::Command& command : commands) {
      known = known || command.app->get_name() == argv[1];
      names += (names.empty() ? "" : ", ") + command.app->get_name();
    }
    if (!known) {
      std::cerr << "apehost: " << argv[1] << ": no such command (commands: " << names << ")\n";
      return apehost::kExitBadInput;
    }
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {  // --help, --help-all, --version
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::string help = "apehost --help";
    for (const apehost::Command& command : commands) {
      if (command.app->parsed()) help = "apehost " + command.app->get_name() + " --help";
    }
    std::cerr << "apehost: " << e.what() << " (see " << help << ")\n";
    return apehost::kExitBadInput;
  }

  try {
    for (const apehost::Command& command : commands) {
      if (!command.app->parsed()) continue;
      const int status = command.run();
      // A signal noted as the last output was put in place: the work is done, the signal still
      // ends the program.
      if (const int signal = apehost::interrupting_signal()) apehost::end_by_signal(signal);
      return status;
    }
  } catch (const apehost::Interrupted& e) {
    // The outputs were left as they were and the temporaries removed on the way here.
    std::cerr << "apehost: " << e.what() << "\n";
    apehost::end_by_signal(e.signal());
  } catch (const apehost::HostError& e) {
    std::cerr << "apehost: " << e.what() << "\n";
    return e.exit_status();
  } catch (const std::bad_alloc&) {
    std::cerr << "apehost: out of memory\n";
    return apehost::kExitFailure;
  } catch (const std::exception& e) {
    std::cerr << "apehost: " << e.what() << "\n";
    return apehost::kExitFailure;
  }
  return apehost::kExitBadInput;
}
