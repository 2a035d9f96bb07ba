#pragma once
// host/base: used by every layer of apehost; uses nothing of apehost.
//
// Whole-file reads and writes for the small files apehost handles (settings blobs) and a scratch
// directory, with errors that name the file and the reason. Files are written as output_file.hpp
// says: complete or not at all.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/interruption.hpp"
#include "base/output_file.hpp"

namespace apehost {

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// The whole file. A file longer than max_bytes is refused (bad input) before it is read.
std::vector<std::uint8_t> read_file_bytes(const std::string& path, std::size_t max_bytes);

// Creates the file with exactly these bytes, or replaces it when existing says so (an OutputFile).
void write_file_bytes(const std::string& path, const std::uint8_t* bytes, std::size_t count,
                      Existing existing = Existing::refuse);

// A private directory under the system's temporary directory, removed with its contents when this
// goes (an interruption while it lives unwinds to here: see interruption.hpp).
class TemporaryDirectory {
 public:
  TemporaryDirectory();  // throws a failure naming the directory it could not make
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  std::string path(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  InterruptionWatch watch_;
};

}  // namespace apehost
