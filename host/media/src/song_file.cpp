#include "media/song_file.hpp"

#include <optional>

#include "base/host_error.hpp"

namespace apehost {

audio::AudioBuffer load_audio(const std::string& path) {
  std::string error;
  std::optional<audio::AudioBuffer> buffer = audio::decode_audio_file(path, error);
  if (!buffer) throw HostError(error.empty() ? path + ": cannot decode" : error, kExitBadInput);
  if (buffer->frame_count() == 0) throw bad_input(path, "holds no sound (no samples)");
  return std::move(*buffer);
}

}  // namespace apehost
