// The songs a playlist names: folders in name order with only their audio files, .m3u/.m3u8 lists
// with their comments skipped and relative entries taken from the list's folder.

#include "media/playlist_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/file_io.hpp"
#include "base/host_error.hpp"
#include "host_test_support.hpp"

namespace {

void touch(const std::string& path, const std::string& text = "x") {
  hosttest::write_bytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

TEST(PlaylistFile, AFolderGivesItsAudioFilesInNameOrder) {
  hosttest::ScratchDir dir;
  std::filesystem::create_directories(dir / "album/sub.wav");  // a folder, though named like a song
  for (const char* name :
       {"b.FLAC", "a.mp3", "10.ogg", "2.wav", "cover.jpg", "notes.txt", "c.Opus"})
    touch(dir / (std::string("album/") + name));
  const std::vector<std::string> songs = apehost::expand_playlist({dir / "album"});
  std::vector<std::string> names;
  for (const std::string& s : songs) names.push_back(std::filesystem::path(s).filename().string());
  EXPECT_EQ(names, (std::vector<std::string>{"10.ogg", "2.wav", "a.mp3", "b.FLAC", "c.Opus"}));
}

TEST(PlaylistFile, AListSkipsCommentsAndTakesRelativeEntriesFromItsFolder) {
  hosttest::ScratchDir dir;
  std::filesystem::create_directories(dir / "lists");
  touch(dir / "lists/mix.m3u8",
        "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:123,Artist - Title\r\none.flac\r\n\r\n  # a comment\n"
        "../up/two.mp3\n/abs/three.wav\n\tsub dir/four.ogg  \n");
  const std::vector<std::string> songs =
      apehost::expand_playlist({dir / "first.wav", dir / "lists/mix.m3u8", dir / "last.wav"});
  ASSERT_EQ(songs.size(), 6u);
  EXPECT_EQ(songs[0], dir / "first.wav");
  EXPECT_EQ(songs[1], dir / "lists/one.flac");
  EXPECT_EQ(songs[2], dir / "lists/../up/two.mp3");
  EXPECT_EQ(songs[3], "/abs/three.wav");
  EXPECT_EQ(songs[4], dir / "lists/sub dir/four.ogg");
  EXPECT_EQ(songs[5], dir / "last.wav");
}

TEST(PlaylistFile, EmptyOrUnreadableFoldersAndListsAreRefused) {
  hosttest::ScratchDir dir;
  std::filesystem::create_directories(dir / "empty");
  touch(dir / "empty/readme.txt");
  touch(dir / "comments.m3u", "#EXTM3U\n# nothing\n\n");
  for (const auto& [named, reason] : std::vector<std::pair<std::string, std::string>>{
           {dir / "empty", "no audio files"},
           {dir / "comments.m3u", "no songs in the list"},
           {dir / "missing.m3u", "cannot open"}}) {
    try {
      apehost::expand_playlist({named});
      ADD_FAILURE() << named << " accepted";
    } catch (const apehost::HostError& e) {
      EXPECT_EQ(e.exit_status(), apehost::kExitBadInput);
      EXPECT_NE(std::string(e.what()).find(named + ": "), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
    }
  }
  // A song that is not there is not looked at here: its turn in the list reports it.
  EXPECT_EQ(apehost::expand_playlist({dir / "nosuch.wav"}).size(), 1u);
}

}  // namespace
