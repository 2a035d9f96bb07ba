#include "live/playlist_sound.hpp"

#include <filesystem>
#include <iostream>

#include "base/host_error.hpp"

namespace apehost {
namespace {

std::string file_name(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename().string();
  return name.empty() ? path : name;
}

}  // namespace

PlaylistSound::PlaylistSound(std::vector<std::string> songs, PlaylistOrder order, SongOpener open)
    : songs_(std::move(songs)),
      order_(std::move(order)),
      open_(std::move(open)),
      failed_(songs_.size(), false) {
  // The first song that opens; failures are only reported once one does, so a list with nothing
  // playable ends with one line.
  std::vector<std::string> failures;
  for (std::size_t tried = 0; tried < order_.size(); ++tried) {
    const std::size_t index = order_.current();
    try {
      song_ = open_(songs_[index]);
      break;
    } catch (const HostError& e) {
      if (songs_.size() == 1) throw;
      failed_[index] = true;
      failures.push_back(e.what());
    }
    if (!order_.next()) break;
  }
  if (!song_) {
    throw bad_input("", "none of the " + std::to_string(songs_.size()) +
                            " songs can be played (the first: " + failures.front() + ")");
  }
  for (const std::string& failure : failures) {
    std::cerr << "apehost: " << failure << " (skipped)\n";
  }
  ++started_;
  announce();
}

void PlaylistSound::announce() const {
  if (songs_.size() > 1) std::cout << "playing " << title() << "\n" << std::flush;
}

bool PlaylistSound::open_current() {
  const std::size_t index = order_.current();
  if (failed_[index]) return false;
  // One output device at a time: some audio drivers have only one.
  song_.reset();
  try {
    song_ = open_(songs_[index]);
  } catch (const HostError& e) {
    failed_[index] = true;
    std::cerr << "apehost: " << e.what() << " (skipped)\n" << std::flush;
    return false;
  }
  if (paused_) song_->set_paused(true);
  ++started_;
  announce();
  return true;
}

bool PlaylistSound::move(int direction) {
  // Where we were, for when no song opens on the way.
  const PlaylistOrder before = order_;
  // At most one round of the list: a repeated list whose every song fails ends too.
  for (std::size_t step = 0; step < order_.size(); ++step) {
    const bool moved = direction > 0 ? order_.next() : order_.previous();
    if (!moved) break;
    if (open_current()) return true;
  }
  order_ = before;
  return false;
}

audio::SoundFrame PlaylistSound::frame_now() {
  if (!ended_ && song_->finished()) {
    // A song whose decoding failed part way ends there: said once, and the list goes on. A list
    // of one ends with the song's error, as when it cannot be opened.
    const std::string failure = song_->failure();
    if (!failure.empty()) {
      if (songs_.size() == 1) throw HostError(failure, kExitBadInput);
      failed_[order_.current()] = true;
      std::cerr << "apehost: " << failure << " (the rest of the song skipped)\n" << std::flush;
    }
    if (!move(+1)) ended_ = true;
  }
  // After the last song, nothing: the window ends with this frame.
  return song_ ? song_->frame_now() : audio::SoundFrame{};
}

void PlaylistSound::set_paused(bool paused) {
  paused_ = paused;
  if (song_) song_->set_paused(paused);
}

std::string PlaylistSound::describe() const {
  if (!song_)
    return std::to_string(started_) + " songs of a list of " + std::to_string(songs_.size());
  if (songs_.size() == 1) return song_->describe();
  return std::to_string(started_) + " song" + (started_ == 1 ? "" : "s") + " of a list of " +
         std::to_string(songs_.size()) + " (last: " + song_->describe() + ")";
}

void PlaylistSound::skip(int direction) {
  if (ended_) return;
  if (direction > 0) {
    if (!move(+1)) ended_ = true;  // N at the end of the list ends it
    return;
  }
  // P: the start of this song when well into it; otherwise the song before (or this one's start
  // at the head of a list that does not repeat, or when no song before it opens).
  if (song_->shown_seconds() > kRestartSeconds || !move(-1)) {
    if (song_) {
      song_->seek(-song_->shown_seconds());
    } else if (!open_current()) {
      ended_ = true;
    }
  }
}

void PlaylistSound::seek(double seconds) {
  if (song_) song_->seek(seconds);
}

std::string PlaylistSound::title() const {
  return std::to_string(order_.place() + 1) + "/" + std::to_string(songs_.size()) + " " +
         file_name(songs_[order_.current()]);
}

}  // namespace apehost
