// Finding a plug-in by name: the folders in order (APEHOST_PLUGIN_PATH, the user's folder, the
// installed folder beside the executable's, the build tree), the files found in them, and the
// search going on past a file that does not load.

#include "plugin/plugin_search.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/file_io.hpp"
#include "base/host_error.hpp"

namespace {

namespace fs = std::filesystem;
using apehost::HostError;
using apehost::PluginFolder;
using Kind = apehost::PluginFolder::Kind;

fs::path make_dir(const fs::path& path) {
  fs::create_directories(path);
  return path;
}

void write_text(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

void copy_module(const std::string& module, const fs::path& to) {
  fs::create_directories(to.parent_path());
  fs::copy_file(module, to, fs::copy_options::overwrite_existing);
}

TEST(PluginSearchPath, FoldersInOrderFromTheEnvironment) {
  apehost::SearchEnvironment environment;
  environment.plugin_path = "/p/one::/p/two/:";
  environment.xdg_data_home = "/data";
  environment.home = "/home/u";
  environment.executable_dir = "/opt/ape/bin";
  const auto search = apehost::plugin_search_path(environment);
  ASSERT_EQ(search.size(), 4u);
  EXPECT_EQ(search[0].kind, Kind::listed);
  EXPECT_EQ(search[0].path, "/p/one");
  EXPECT_EQ(search[1].kind, Kind::listed);
  EXPECT_EQ(search[1].path, "/p/two");  // empty entries skipped, no trailing separator
  EXPECT_EQ(search[2].kind, Kind::user);
  EXPECT_EQ(search[2].path, "/data/apehost/plugins");
  EXPECT_EQ(search[3].kind, Kind::installed);
  // Beside bin/, under the same prefix: a moved installation finds its own plug-ins.
  EXPECT_EQ(search[3].path.parent_path().parent_path().parent_path(), "/opt/ape");
  EXPECT_EQ(search[3].path.filename(), "plugins");
  EXPECT_EQ(search[3].path.parent_path().filename(), "apehost");
}

TEST(PluginSearchPath, UserFolderDefaultsToTheHomeDataFolder) {
  apehost::SearchEnvironment environment;
  environment.home = "/home/u";
  environment.executable_dir = "/usr/bin";
  // Unset, empty or relative XDG_DATA_HOME: ~/.local/share.
  for (const std::optional<std::string>& xdg :
       {std::optional<std::string>{}, std::optional<std::string>{""},
        std::optional<std::string>{"relative/data"}}) {
    environment.xdg_data_home = xdg;
    const auto search = apehost::plugin_search_path(environment);
    ASSERT_EQ(search.size(), 2u);
    EXPECT_EQ(search[0].kind, Kind::user);
    EXPECT_EQ(search[0].path, "/home/u/.local/share/apehost/plugins");
  }
  // Without HOME and without an absolute XDG_DATA_HOME there is no user folder.
  environment.home.reset();
  environment.xdg_data_home.reset();
  const auto search = apehost::plugin_search_path(environment);
  ASSERT_EQ(search.size(), 1u);
  EXPECT_EQ(search[0].kind, Kind::installed);
}

TEST(PluginSearchPath, BuildTreeOnlyWhereTheExecutableSitsInOne) {
  apehost::TemporaryDirectory dir;
  const fs::path root = dir.path("build");
  apehost::SearchEnvironment environment;
  environment.executable_dir = make_dir(root / "host");
  auto search = apehost::plugin_search_path(environment);
  ASSERT_EQ(search.size(), 1u);
  EXPECT_EQ(search.back().kind, Kind::installed);

  write_text(root / "CMakeCache.txt", "");
  search = apehost::plugin_search_path(environment);
  ASSERT_EQ(search.size(), 2u);
  EXPECT_EQ(search.back().kind, Kind::build_tree);
  EXPECT_EQ(search.back().path, root);
  EXPECT_EQ(apehost::plugin_file_in(search.back(), "coilfx"), root / "coilfx" / "coilfx.so");
}

TEST(PluginSearch, NamesAreBareWordsEverythingElseIsAPath) {
  EXPECT_TRUE(apehost::is_plugin_name("coilfx"));
  EXPECT_TRUE(apehost::is_plugin_name("my-effect_2"));
  EXPECT_FALSE(apehost::is_plugin_name(""));
  EXPECT_FALSE(apehost::is_plugin_name("coilfx.so"));
  EXPECT_FALSE(apehost::is_plugin_name("./coilfx"));
  EXPECT_FALSE(apehost::is_plugin_name("/x/y"));
}

TEST(PluginSearch, FindsModuleFilesInSearchOrderEachFolderSorted) {
  apehost::TemporaryDirectory dir;
  const fs::path listed = dir.path("listed");
  const fs::path build = dir.path("build");
  write_text(listed / "zeta.so", "");
  write_text(listed / "alpha.so", "");
  write_text(listed / "notes.txt", "");
  write_text(listed / "two.dots.so", "");  // not reachable by a name
  write_text(listed / ".so", "");
  make_dir(listed / "folder.so");  // not a file
  write_text(build / "coilfx" / "coilfx.so", "");
  write_text(build / "render3d" / "librender3d.a", "");  // a folder without a module
  write_text(build / "tests" / "probefx.so", "");

  const std::vector<PluginFolder> search = {
      {Kind::listed, listed}, {Kind::user, dir.path("missing")}, {Kind::build_tree, build}};
  const auto found = apehost::find_plugin_files(search);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].name, "alpha");
  EXPECT_EQ(found[0].file, listed / "alpha.so");
  EXPECT_EQ(found[1].name, "zeta");
  EXPECT_EQ(found[2].name, "coilfx");
  EXPECT_EQ(found[2].file, build / "coilfx" / "coilfx.so");
  EXPECT_EQ(found[2].folder.kind, Kind::build_tree);
}

TEST(PluginSearch, AFileThatDoesNotLoadIsReportedAndTheSearchGoesOn) {
  apehost::TemporaryDirectory dir;
  const fs::path first = dir.path("first");
  const fs::path second = dir.path("second");
  const fs::path third = dir.path("third");
  write_text(first / "probe.so", "not a shared library");
  copy_module(PROBEFX_MODULE, second / "probe.so");
  copy_module(PROBEFX_MODULE, third / "probe.so");
  const std::vector<PluginFolder> search = {
      {Kind::listed, first}, {Kind::user, second}, {Kind::installed, third}};

  std::vector<std::string> notes;
  const auto module = apehost::load_plugin("probe", search,
                                           [&](const std::string& note) { notes.push_back(note); });
  EXPECT_EQ(module.path(), (second / "probe.so").string());  // the first that loads, not the last
  EXPECT_EQ(module.short_name(), "Probe");
  ASSERT_EQ(notes.size(), 1u);
  const std::string broken = (first / "probe.so").string();
  EXPECT_EQ(notes[0].rfind(broken + ": not a loadable shared library (", 0), 0u) << notes[0];
  EXPECT_NE(notes[0].find("; skipped"), std::string::npos) << notes[0];
}

TEST(PluginSearch, EarlierFoldersWin) {
  apehost::TemporaryDirectory dir;
  copy_module(PROBEFX_MODULE, dir.path("listed") + "/probe.so");
  copy_module(PROBEFX_MODULE, dir.path("user") + "/probe.so");
  const std::vector<PluginFolder> search = {{Kind::listed, dir.path("listed")},
                                            {Kind::user, dir.path("user")}};
  EXPECT_EQ(apehost::load_plugin("probe", search, nullptr).path(), dir.path("listed/probe.so"));
}

TEST(PluginSearch, NoFileOrNoneThatLoadsIsRefusedNamingTheFolders) {
  apehost::TemporaryDirectory dir;
  const std::vector<PluginFolder> search = {{Kind::listed, dir.path("a")},
                                            {Kind::user, dir.path("b")},
                                            {Kind::build_tree, dir.path("c")}};
  try {
    apehost::load_plugin("nosuchfx", search, nullptr);
    ADD_FAILURE() << "a missing plug-in was found";
  } catch (const HostError& e) {
    EXPECT_EQ(e.exit_status(), apehost::kExitBadInput);
    EXPECT_EQ(std::string(e.what()), "nosuchfx: no such plug-in (no nosuchfx.so in " +
                                         dir.path("a") + ", " + dir.path("b") + " and " +
                                         dir.path("c/nosuchfx") + ")");
  }

  write_text(dir.path("a") + "/bad.so", "junk");
  write_text(dir.path("c") + "/bad/bad.so", "junk");
  int notes = 0;
  try {
    apehost::load_plugin("bad", search, [&](const std::string&) { ++notes; });
    ADD_FAILURE() << "a plug-in that does not load was accepted";
  } catch (const HostError& e) {
    EXPECT_EQ(e.exit_status(), apehost::kExitBadInput);
    EXPECT_EQ(std::string(e.what()), "bad: no plug-in of that name loads (tried " +
                                         dir.path("a/bad.so") + ", " + dir.path("c/bad/bad.so") +
                                         ")");
  }
  EXPECT_EQ(notes, 2);
}

// A path is used as it is and never searched for, even where the search would find its name.
TEST(PluginPath, PathsAreTakenAsGivenAndUnknownNamesRefused) {
  apehost::TemporaryDirectory dir;
  copy_module(PROBEFX_MODULE, dir.path("p") + "/coilfx.so");
  const std::vector<PluginFolder> search = {{Kind::listed, dir.path("p")}};
  for (const std::string path : {"./coilfx", "coilfx.so", "/x/y"}) {
    try {
      apehost::load_plugin(path, search, nullptr);
      ADD_FAILURE() << path << " was searched for";
    } catch (const HostError& e) {
      // Refused as the file it names (whatever is there from where the test runs), not searched.
      EXPECT_EQ(e.subject(), path);
      EXPECT_EQ(std::string(e.what()).find("no such plug-in"), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(apehost::load_plugin(dir.path("p/coilfx.so"), {}, nullptr).short_name(), "Probe");
  try {
    apehost::load_plugin("nosuchfx", search, nullptr);
    ADD_FAILURE();
  } catch (const HostError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("nosuchfx: no such plug-in", 0), 0u) << e.what();
  }
}

}  // namespace
