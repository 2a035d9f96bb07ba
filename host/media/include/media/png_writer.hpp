#pragma once
// host/media: uses plugin, base and audio; used by cli.
//
// One frame as a PNG file: 8-bit RGB, no alpha (the top byte of each 0x00RRGGBB pixel is not a
// colour and is dropped), rows top first. The file carries no time stamp, so the same pixels always
// give the same bytes.

#include <cstdint>
#include <string>

#include "base/file_io.hpp"

namespace apehost {

void write_png(const std::string& path, const std::uint32_t* pixels, int width, int height);

// The same into a file already open for writing (a numbered file made exclusively, say), closed
// when done; path names it in errors.
void write_png(UniqueFile file, const std::string& path, const std::uint32_t* pixels, int width,
               int height);

}  // namespace apehost
