#include "media/playlist_file.hpp"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "base/file_io.hpp"
#include "base/host_error.hpp"

namespace apehost {
namespace {

// A playlist is text of a few kilobytes; a larger one is surely something else.
constexpr std::size_t kMaxPlaylistFile = 4 * 1024 * 1024;

std::string lower_extension(const std::string& name) {
  std::string extension = std::filesystem::path(name).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

std::vector<std::string> folder_songs(const std::string& folder) {
  std::vector<std::string> songs;
  std::error_code error;
  std::filesystem::directory_iterator it(folder, error);
  if (error) throw bad_input(folder, "cannot read the folder (" + error.message() + ")");
  for (const std::filesystem::directory_entry& entry : it) {
    std::error_code ignored;
    if (entry.is_regular_file(ignored) && has_audio_extension(entry.path().filename().string())) {
      songs.push_back(entry.path().string());
    }
  }
  // Name order, byte by byte: the same order on every machine.
  std::sort(songs.begin(), songs.end());
  if (songs.empty()) throw bad_input(folder, "no audio files in the folder");
  return songs;
}

std::vector<std::string> list_songs(const std::string& list) {
  const std::vector<std::uint8_t> bytes = read_file_bytes(list, kMaxPlaylistFile);
  std::string text(bytes.begin(), bytes.end());
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);  // a UTF-8 byte order mark
  const std::filesystem::path folder = std::filesystem::path(list).parent_path();
  std::vector<std::string> songs;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
      line.pop_back();
    }
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    line.erase(0, first);
    const std::filesystem::path entry(line);
    songs.push_back(entry.is_absolute() ? line : (folder / entry).string());
  }
  if (songs.empty()) throw bad_input(list, "no songs in the list");
  return songs;
}

}  // namespace

bool has_audio_extension(const std::string& name) {
  static const char* const kExtensions[] = {".wav", ".flac", ".ogg", ".oga", ".opus", ".mp3",
                                            ".aif", ".aiff", ".au",  ".w64", ".caf"};
  const std::string extension = lower_extension(name);
  return std::any_of(std::begin(kExtensions), std::end(kExtensions),
                     [&](const char* known) { return extension == known; });
}

bool is_playlist_file(const std::string& name) {
  const std::string extension = lower_extension(name);
  return extension == ".m3u" || extension == ".m3u8";
}

std::vector<std::string> expand_playlist(const std::vector<std::string>& named) {
  std::vector<std::string> songs;
  for (const std::string& item : named) {
    std::error_code error;
    std::vector<std::string> more;
    if (std::filesystem::is_directory(item, error)) {
      more = folder_songs(item);
    } else if (is_playlist_file(item)) {
      more = list_songs(item);
    } else {
      more = {item};
    }
    songs.insert(songs.end(), more.begin(), more.end());
  }
  return songs;
}

}  // namespace apehost
