#pragma once
// host/media: uses plugin, base and audio; used by cli.
//
// The songs of a playlist, from what the user named: song files as they are, a folder (the audio
// files in it, in name order), or an .m3u / .m3u8 list (one entry a line; lines starting with '#',
// the #EXTM3U header and #EXTINF lines included, and blank ones skipped; a relative entry is taken
// from the list's folder).

#include <string>
#include <vector>

namespace apehost {

// Whether a file name ends in an audio extension apehost looks for in folders (.wav, .flac, .ogg,
// .oga, .opus, .mp3, .aif, .aiff, .au, .w64, .caf; any case).
bool has_audio_extension(const std::string& name);

// Whether a file name ends in .m3u or .m3u8 (any case).
bool is_playlist_file(const std::string& name);

// The songs named, in order. A folder or a list that cannot be read, or a folder or a list with no
// songs at all, is refused (a bad-input error naming it). Song files are not opened here: one that
// cannot be decoded is found when its turn comes.
std::vector<std::string> expand_playlist(const std::vector<std::string>& named);

}  // namespace apehost
