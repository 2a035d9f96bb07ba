#pragma once
// host/plugin: uses base and the C boundary (apefw/ape_abi.h) only; used by media, live and cli.
//
// Where a plug-in named on the command line is found. An argument with a '/' or a '.' in it is a
// path and is used as it is. A bare name ("coilfx") is looked for as <name>.so in these folders, in
// this order, and the first file of that name that loads is used:
//   1. each folder of APEHOST_PLUGIN_PATH (colon-separated; empty entries are skipped);
//   2. the user's folder, $XDG_DATA_HOME/apehost/plugins (~/.local/share/apehost/plugins when
//      XDG_DATA_HOME is unset or not an absolute path);
//   3. the installed plug-ins, found relative to the apehost executable (so a whole installation
//      can be moved to another prefix);
//   4. the build tree apehost was built in, when it runs from there (<build>/<name>/<name>.so).
// A file that fails to load is reported and the search goes on.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "plugin/plugin_loader.hpp"

namespace apehost {

// The environment variable of the first folders searched.
inline constexpr const char* kPluginPathVariable = "APEHOST_PLUGIN_PATH";
// The file name a plug-in called <name> has.
inline constexpr const char* kPluginSuffix = ".so";

struct PluginFolder {
  enum class Kind {
    listed,      // from APEHOST_PLUGIN_PATH
    user,        // the user's own plug-ins
    installed,   // installed with apehost
    build_tree,  // the build tree apehost runs from: one sub-folder per plug-in
  };
  Kind kind = Kind::listed;
  std::filesystem::path path;
};

// Where a folder came from, for messages and the listing: "APEHOST_PLUGIN_PATH", "user folder",
// "installed", "build tree".
std::string folder_origin(PluginFolder::Kind kind);

// What the search order is made from, as plain values.
struct SearchEnvironment {
  std::optional<std::string> plugin_path;    // APEHOST_PLUGIN_PATH
  std::optional<std::string> xdg_data_home;  // XDG_DATA_HOME
  std::optional<std::string> home;           // HOME
  std::filesystem::path executable_dir;      // the folder apehost runs from
};

// The running program's environment and the folder of its executable.
SearchEnvironment current_search_environment();

// The folders in search order. A folder is listed even when it does not exist (the listing says
// so); the build tree only when the executable sits in one. Without HOME and without an absolute
// XDG_DATA_HOME there is no user folder.
std::vector<PluginFolder> plugin_search_path(const SearchEnvironment& environment);

// True when the argument names a plug-in to search for rather than a file.
bool is_plugin_name(const std::string& argument);

// The file a plug-in of this name is in a folder, whether or not it exists.
std::filesystem::path plugin_file_in(const PluginFolder& folder, const std::string& name);

// One module file found in a folder.
struct FoundPluginFile {
  std::string name;  // what a bare name must be to find it
  std::filesystem::path file;
  PluginFolder folder;
};

// Every module file of every folder, in search order (each folder's files sorted by name), so the
// first file of a name is the one a bare name tries first.
std::vector<FoundPluginFile> find_plugin_files(const std::vector<PluginFolder>& search);

// Every file a PLUGIN argument may be loaded from, without loading any: a path as given, or each
// existing file of that name in the search. A command refuses to write over any of them.
std::vector<std::filesystem::path> plugin_files_for(const std::string& argument,
                                                    const std::vector<PluginFolder>& search);
std::vector<std::filesystem::path> plugin_files_for(const std::string& argument);

// Told about a file that was found but not loaded: "<file>: <reason>".
using PluginNote = std::function<void(const std::string&)>;

// Loads a PLUGIN argument: a path as given; a name from the first file in the search that loads,
// each one before it that fails to load told to note. Throws a bad-input error naming the argument
// when no file of that name exists, or none loads.
PluginModule load_plugin(const std::string& argument, const std::vector<PluginFolder>& search,
                         const PluginNote& note);

// The same, searching the folders of the running program's environment.
PluginModule load_plugin(const std::string& argument, const PluginNote& note);

}  // namespace apehost
