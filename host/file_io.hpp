#pragma once
// Whole-file reads and writes for the small files apehost handles (settings blobs), with errors
// that name the file and the reason.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace apehost {

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// The whole file. A file longer than max_bytes is refused (bad input) before it is read.
std::vector<std::uint8_t> read_file_bytes(const std::string& path, std::size_t max_bytes);

// Creates or replaces the file with exactly these bytes.
void write_file_bytes(const std::string& path, const std::uint8_t* bytes, std::size_t count);

}  // namespace apehost
