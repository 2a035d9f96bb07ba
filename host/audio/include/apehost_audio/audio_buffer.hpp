#pragma once
// Sound as apehost holds it: a whole file decoded into interleaved float samples at the file's own
// rate (the demo track, short files, the tests). Reading and writing whole files lives here too;
// both report failure as one line naming the file and the reason, which the command line prints as
// it is. A song of any length is better read in pieces: audio_reader.hpp.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace apehost::audio {

struct AudioBuffer {
  int sample_rate = 0;  // sample frames per second
  int channels = 0;     // values per sample frame
  std::vector<float>
      samples;  // interleaved: frame f, channel c at f * channels + c; nominally -1..1

  std::size_t frame_count() const noexcept {
    return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0;
  }
};

// Decodes a whole file: WAV, FLAC, Ogg (Vorbis, Opus), MP3 and whatever else the installed
// libsndfile reads (AudioReader). Integer formats come out scaled to -1..1. On failure (a rate or
// channel count out of range, a decoding error, no samples at all): nothing, and error holds
// "<path>: <reason>".
std::optional<AudioBuffer> decode_audio_file(const std::string& path, std::string& error);

// Writes buffer as a 16-bit PCM WAV file (what ffmpeg muxes without fuss). Samples beyond -1..1 are
// clipped rather than wrapped. On failure: false, and error holds "<path>: <reason>".
bool write_wav(const std::string& path, const AudioBuffer& buffer, std::string& error);

}  // namespace apehost::audio
