// apehost plugins: the folders a plug-in name is looked for in, and every plug-in found there with
// its names, in the order a name tries them.

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "base/host_error.hpp"
#include "cli/commands.hpp"
#include "plugin/plugin_loader.hpp"
#include "plugin/plugin_search.hpp"

namespace apehost {
namespace {

struct Row {
  std::string name;
  std::string short_name;
  std::string long_name;
  std::string file;  // with what became of it when it is not the one its name loads
};

std::string padded(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

void print_folders(const SearchEnvironment& environment, const std::vector<PluginFolder>& search) {
  std::cout << "Folders a plug-in name is looked for in, in this order:\n";
  std::vector<std::pair<std::string, std::string>> lines;
  const bool listed = std::any_of(search.begin(), search.end(), [](const PluginFolder& folder) {
    return folder.kind == PluginFolder::Kind::listed;
  });
  if (!listed)
    lines.emplace_back(kPluginPathVariable, environment.plugin_path ? "(empty)" : "(not set)");
  for (const PluginFolder& folder : search) {
    std::error_code error;
    const bool there = std::filesystem::is_directory(folder.path, error);
    lines.emplace_back(folder_origin(folder.kind),
                       folder.path.string() + (there ? "" : " (no such folder)"));
  }
  std::size_t width = 0;
  for (const auto& line : lines) width = std::max(width, line.first.size());
  for (const auto& [origin, path] : lines) {
    std::cout << "  " << padded(origin, width) << "  " << path << "\n";
  }
}

int run_plugins() {
  const SearchEnvironment environment = current_search_environment();
  const std::vector<PluginFolder> search = plugin_search_path(environment);
  print_folders(environment, search);

  // Each file loaded in search order; a name loads the first of its files that loads.
  std::vector<Row> rows;
  std::set<std::string> loaded_names;
  for (const FoundPluginFile& found : find_plugin_files(search)) {
    Row row{found.name, "", "", found.file.string()};
    try {
      const PluginModule module = PluginModule::load(found.file.string());
      row.short_name = module.short_name();
      row.long_name = module.long_description();
      if (!loaded_names.insert(found.name).second) {
        row.file += " (not used: an earlier " + found.name + " loads)";
      }
    } catch (const HostError& e) {
      row.short_name = row.long_name = "-";
      // The message names the file first; the reason follows it.
      std::string reason = e.what();
      const std::string prefix = row.file + ": ";
      if (reason.compare(0, prefix.size(), prefix) == 0) reason.erase(0, prefix.size());
      row.file += " (does not load: " + reason + ")";
    }
    rows.push_back(row);
  }

  std::cout << "\n";
  if (rows.empty()) {
    std::cout << "No plug-ins found.\n";
    return 0;
  }
  std::cout << "Plug-ins found (a name loads the first of its files that loads):\n";
  Row header{"NAME", "SHORT NAME", "LONG NAME", "FILE"};
  std::size_t name_width = header.name.size(), short_width = header.short_name.size(),
              long_width = header.long_name.size();
  for (const Row& row : rows) {
    name_width = std::max(name_width, row.name.size());
    short_width = std::max(short_width, row.short_name.size());
    long_width = std::max(long_width, row.long_name.size());
  }
  rows.insert(rows.begin(), header);
  for (const Row& row : rows) {
    std::cout << "  " << padded(row.name, name_width) << "  " << padded(row.short_name, short_width)
              << "  " << padded(row.long_name, long_width) << "  " << row.file << "\n";
  }
  return 0;
}

}  // namespace

Command add_plugins_command(CLI::App& parent) {
  CLI::App* app = parent.add_subcommand(
      "plugins",
      "List the folders a plug-in name is looked for in and every plug-in found there, with its "
      "short and long names");
  return {app, [] { return run_plugins(); }};
}

}  // namespace apehost
