#pragma once
// host/cli: uses live, media, plugin, audio and base; the only layer that knows the command line.
//
// Parsers for the values apehost takes on its command line. Each throws a bad-input error naming
// the option and what was wrong, so every bad value gets the same one-line treatment.

#include <cstdint>
#include <string>
#include <vector>

namespace apehost {

// Frames are at most this wide and high. The effects size their depth buffer as width x height x 4
// + 4 bytes in 32-bit int arithmetic and key it by width + height x 65536: 16384 keeps both
// below 2^31.
inline constexpr int kMaxFrameSide = 16384;

struct FrameSize {
  int width = 0;
  int height = 0;
};

// "WxH", both decimal 1..kMaxFrameSide.
FrameSize parse_frame_size(const std::string& option, const std::string& text);

// "RRGGBB", "#RRGGBB" or "0xRRGGBB": six hex digits, the colour word 0x00RRGGBB.
std::uint32_t parse_colour(const std::string& option, const std::string& text);

// Colours separated by commas, "ff0000,00ff00"; at least one.
std::vector<std::uint32_t> parse_colour_list(const std::string& option, const std::string& text);

}  // namespace apehost
