#pragma once
// host/media: uses plugin, base and audio; used by cli.
//
// A song file, decoded whole for a render, an analysis or the live window.

#include <string>

#include "apehost_audio/audio_buffer.hpp"

namespace apehost {

// The whole file, decoded; refuses (bad input, naming the file) one that cannot be read or holds
// no sound.
audio::AudioBuffer load_audio(const std::string& path);

}  // namespace apehost
