#pragma once
// host/media: uses plugin, base and audio; used by cli.
//
// One frame as a PNG file: 8-bit RGB, no alpha (the top byte of each 0x00RRGGBB pixel is not a
// colour and is dropped), rows top first. The file carries no time stamp, so the same pixels always
// give the same bytes.

#include <cstdint>
#include <cstdio>
#include <string>

#include "base/output_file.hpp"

namespace apehost {

// Into an open file; errors name the file as name.
void write_png(std::FILE* file, const std::string& name, const std::uint32_t* pixels, int width,
               int height);

// A whole file, written as an OutputFile.
void write_png(const std::string& path, const std::uint32_t* pixels, int width, int height,
               Existing existing = Existing::refuse);

}  // namespace apehost
