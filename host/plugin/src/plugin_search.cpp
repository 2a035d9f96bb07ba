#include "plugin/plugin_search.hpp"

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "base/host_error.hpp"

// Set by host/plugin/CMakeLists.txt from the install layout and the build tree's layout.
#ifndef APEHOST_INSTALLED_PLUGINS_FROM_BINDIR
#error "APEHOST_INSTALLED_PLUGINS_FROM_BINDIR must name the plug-in folder relative to bin/"
#endif
#ifndef APEHOST_BUILD_ROOT_FROM_BINARY
#error "APEHOST_BUILD_ROOT_FROM_BINARY must name the build tree's root relative to apehost"
#endif

namespace apehost {
namespace {

namespace fs = std::filesystem;

// A build tree is recognised by the cache CMake keeps at its root.
constexpr const char* kBuildTreeMarker = "CMakeCache.txt";
constexpr const char* kUserPluginFolder = "apehost/plugins";  // under the user's data folder

std::optional<std::string> environment_value(const char* name) {
  const char* value = std::getenv(name);
  if (!value) return std::nullopt;
  return std::string(value);
}

fs::path executable_directory() {
  std::error_code error;
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  if (error || !exe.has_parent_path()) return fs::current_path(error);
  return exe.parent_path();
}

bool is_file(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

// a/b/../c/ as a/c: no dot segments and no trailing separator.
fs::path normal_folder(const fs::path& path) {
  fs::path normal = path.lexically_normal();
  if (!normal.has_filename() && normal.has_relative_path()) normal = normal.parent_path();
  return normal;
}

fs::path absolute_folder(const fs::path& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  return normal_folder(error ? path : absolute);
}

// The plug-in name a file in a plain folder answers to: "coilfx.so" is coilfx; anything else none.
std::optional<std::string> name_of_file(const fs::path& file) {
  const std::string filename = file.filename().string();
  const std::string suffix = kPluginSuffix;
  if (filename.size() <= suffix.size() ||
      filename.compare(filename.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return std::nullopt;
  }
  std::string name = filename.substr(0, filename.size() - suffix.size());
  if (!is_plugin_name(name)) return std::nullopt;
  return name;
}

// The entries of a folder, sorted; none when it cannot be read.
std::vector<fs::path> sorted_entries(const fs::path& folder) {
  std::vector<fs::path> entries;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    entries.push_back(it->path());
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

std::string folder_list(const std::vector<PluginFolder>& search, const std::string& name) {
  std::string text;
  for (std::size_t i = 0; i < search.size(); ++i) {
    if (i > 0) text += i + 1 == search.size() ? " and " : ", ";
    text += plugin_file_in(search[i], name).parent_path().string();
  }
  return text.empty() ? "no folder" : text;
}

}  // namespace

std::string folder_origin(PluginFolder::Kind kind) {
  switch (kind) {
    case PluginFolder::Kind::listed:
      return kPluginPathVariable;
    case PluginFolder::Kind::user:
      return "user folder";
    case PluginFolder::Kind::installed:
      return "installed";
    case PluginFolder::Kind::build_tree:
      return "build tree";
  }
  return "";
}

SearchEnvironment current_search_environment() {
  SearchEnvironment environment;
  environment.plugin_path = environment_value(kPluginPathVariable);
  environment.xdg_data_home = environment_value("XDG_DATA_HOME");
  environment.home = environment_value("HOME");
  environment.executable_dir = executable_directory();
  return environment;
}

std::vector<PluginFolder> plugin_search_path(const SearchEnvironment& environment) {
  std::vector<PluginFolder> search;
  if (environment.plugin_path) {
    const std::string& list = *environment.plugin_path;
    std::size_t start = 0;
    while (start <= list.size()) {
      const std::size_t colon = std::min(list.find(':', start), list.size());
      if (colon > start) {
        search.push_back(
            {PluginFolder::Kind::listed, absolute_folder(list.substr(start, colon - start))});
      }
      start = colon + 1;
    }
  }

  // The user's data folder: XDG_DATA_HOME when it is an absolute path, else ~/.local/share.
  fs::path data_home;
  if (environment.xdg_data_home && fs::path(*environment.xdg_data_home).is_absolute()) {
    data_home = *environment.xdg_data_home;
  } else if (environment.home && !environment.home->empty()) {
    data_home = fs::path(*environment.home) / ".local/share";
  }
  if (!data_home.empty()) {
    search.push_back({PluginFolder::Kind::user, normal_folder(data_home / kUserPluginFolder)});
  }

  const fs::path& bin = environment.executable_dir;
  search.push_back(
      {PluginFolder::Kind::installed, normal_folder(bin / APEHOST_INSTALLED_PLUGINS_FROM_BINDIR)});

  const fs::path build_root = normal_folder(bin / APEHOST_BUILD_ROOT_FROM_BINARY);
  if (is_file(build_root / kBuildTreeMarker)) {
    search.push_back({PluginFolder::Kind::build_tree, build_root});
  }
  return search;
}

bool is_plugin_name(const std::string& argument) {
  return !argument.empty() && argument.find_first_of("/.") == std::string::npos;
}

fs::path plugin_file_in(const PluginFolder& folder, const std::string& name) {
  const std::string file = name + kPluginSuffix;
  return folder.kind == PluginFolder::Kind::build_tree ? folder.path / name / file
                                                       : folder.path / file;
}

std::vector<FoundPluginFile> find_plugin_files(const std::vector<PluginFolder>& search) {
  std::vector<FoundPluginFile> found;
  for (const PluginFolder& folder : search) {
    for (const fs::path& entry : sorted_entries(folder.path)) {
      if (folder.kind == PluginFolder::Kind::build_tree) {
        // <build>/<name>/<name>.so
        const std::string name = entry.filename().string();
        if (is_plugin_name(name) && is_file(plugin_file_in(folder, name))) {
          found.push_back({name, plugin_file_in(folder, name), folder});
        }
      } else if (const auto name = name_of_file(entry); name && is_file(entry)) {
        found.push_back({*name, entry, folder});
      }
    }
  }
  return found;
}

std::vector<fs::path> plugin_files_for(const std::string& argument,
                                       const std::vector<PluginFolder>& search) {
  if (!is_plugin_name(argument)) return {fs::path(argument)};
  std::vector<fs::path> files;
  for (const PluginFolder& folder : search) {
    const fs::path file = plugin_file_in(folder, argument);
    if (is_file(file)) files.push_back(file);
  }
  return files;
}

std::vector<fs::path> plugin_files_for(const std::string& argument) {
  return plugin_files_for(argument, plugin_search_path(current_search_environment()));
}

PluginModule load_plugin(const std::string& argument, const std::vector<PluginFolder>& search,
                         const PluginNote& note) {
  if (!is_plugin_name(argument)) return PluginModule::load(argument);

  std::vector<std::string> failed;
  for (const PluginFolder& folder : search) {
    const fs::path file = plugin_file_in(folder, argument);
    if (!is_file(file)) continue;
    try {
      return PluginModule::load(file.string());
    } catch (const HostError& e) {
      failed.push_back(file.string());
      if (note) note(std::string(e.what()) + "; skipped");
    }
  }
  const std::string file = argument + kPluginSuffix;
  if (failed.empty()) {
    throw bad_input(argument,
                    "no such plug-in (no " + file + " in " + folder_list(search, argument) + ")");
  }
  std::string tried;
  for (const std::string& path : failed) tried += (tried.empty() ? "" : ", ") + path;
  throw bad_input(argument, "no plug-in of that name loads (tried " + tried + ")");
}

PluginModule load_plugin(const std::string& argument, const PluginNote& note) {
  return load_plugin(argument, plugin_search_path(current_search_environment()), note);
}

}  // namespace apehost
