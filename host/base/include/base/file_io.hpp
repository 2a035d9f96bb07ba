#pragma once
// host/base: used by every layer of apehost; uses nothing of apehost.
//
// Whole-file reads and writes for the small files apehost handles (settings blobs) and a scratch
// directory, with errors that name the file and the reason.

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

// A new file named prefix + a number + suffix ("apehost-preset-" "001" ".toml"): the lowest number
// from 1 up (at least three digits) whose name is free, created exclusively, so nothing that exists
// is ever replaced, even by another process racing for the same name.
struct NumberedFile {
  std::string path;
  UniqueFile file;  // open for writing
};
NumberedFile create_numbered_file(const std::string& prefix, const std::string& suffix);

// Writes count bytes to a file made by create_numbered_file and closes it.
void finish_numbered_file(NumberedFile& file, const std::uint8_t* bytes, std::size_t count);

// A private directory under the system's temporary directory, removed with its contents when this
// goes.
class TemporaryDirectory {
 public:
  TemporaryDirectory();  // throws a failure naming the directory it could not make
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  std::string path(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace apehost
