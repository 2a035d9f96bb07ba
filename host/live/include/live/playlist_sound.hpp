#pragma once
// host/live: uses plugin, audio and base, and SDL (inside its sources only); used by cli.
//
// A list of songs in the live window, one after another in the order of a PlaylistOrder, with the
// keys N (next), P (previous, or the start of the song when it is more than kRestartSeconds in)
// and the seek keys passed on to the song. Songs are opened when their turn comes; one that cannot
// be opened is reported on standard error (one line naming it) and skipped, and is passed over
// silently from then on. So is one whose decoding fails part way, once it has played up to there;
// a list of one song ends with that song's error.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "live/live_sound.hpp"
#include "live/playlist_order.hpp"
#include "live/song_playback.hpp"

namespace apehost {

// Opens one song for playing; throws a HostError naming the file when it cannot.
using SongOpener = std::function<std::unique_ptr<SongPlayback>(const std::string& path)>;

// P this far into a song starts it again instead of going back a song.
inline constexpr double kRestartSeconds = 3.0;

class PlaylistSound final : public LiveSound {
 public:
  // Opens the first song that opens. When none does, throws: the song's own error for a list of
  // one, otherwise a bad-input error saying so (and naming the first failure), without reporting
  // each.
  PlaylistSound(std::vector<std::string> songs, PlaylistOrder order, SongOpener open);

  audio::SoundFrame frame_now() override;
  bool finished() const override { return ended_; }
  void set_paused(bool paused) override;
  std::string describe() const override;
  void skip(int direction) override;
  void seek(double seconds) override;
  // "2/3 song.flac": the song's place in the order played, the count, and its file name.
  std::string title() const override;

  // Songs that started playing, in the order they did.
  std::size_t songs_started() const noexcept { return started_; }

 private:
  // Moves through the order (+1 or -1) to the next song that opens; false when the order ends
  // first (or every song has failed).
  bool move(int direction);
  // Opens the song at the current place; false (reported once) when it cannot be.
  bool open_current();
  void announce() const;

  std::vector<std::string> songs_;
  PlaylistOrder order_;
  SongOpener open_;
  std::vector<bool> failed_;
  std::unique_ptr<SongPlayback> song_;
  bool paused_ = false;
  bool ended_ = false;
  std::size_t started_ = 0;
};

}  // namespace apehost
