#pragma once
// host/cli: uses live, media, plugin, audio and base; the only layer that knows the command line.
//
// The options of a video output: the ffmpeg program (--ffmpeg), the encoder's speed (--speed) and
// a frame size a video can carry (--size).

#include <CLI/CLI.hpp>
#include <string>

#include "cli/cli_values.hpp"

namespace apehost {

// The ffmpeg program to run: the one given with --ffmpeg (empty for none), or the first ffmpeg on
// PATH. Throws a bad-input error saying how to install it when there is none.
std::string find_ffmpeg(const std::string& given);

// --speed NAME, one of the encoder's speeds (x264's presets); any other name is refused with the
// list of them.
CLI::Option* add_speed_option(CLI::App& app, std::string& speed);

// Refuses (naming --size) a size H.264 in 4:2:0 cannot carry: an odd side.
void check_video_frame_size(const FrameSize& size);

}  // namespace apehost
