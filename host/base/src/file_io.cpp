#include "base/file_io.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/host_error.hpp"

namespace apehost {

std::string errno_text(int error_number) { return std::strerror(error_number); }

std::vector<std::uint8_t> read_file_bytes(const std::string& path, std::size_t max_bytes) {
  UniqueFile file(std::fopen(path.c_str(), "rb"));
  if (!file) throw bad_input(path, "cannot open (" + errno_text(errno) + ")");
  struct stat info {};
  if (fstat(fileno(file.get()), &info) != 0) throw bad_input(path, errno_text(errno));
  if (!S_ISREG(info.st_mode)) throw bad_input(path, "not a regular file");
  const auto size = static_cast<std::uint64_t>(info.st_size);
  if (size > max_bytes) {
    throw bad_input(path, std::to_string(size) + " bytes, more than the " +
                              std::to_string(max_bytes) + " expected");
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!bytes.empty() && std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
    throw bad_input(path, "read failed");
  }
  return bytes;
}

void write_file_bytes(const std::string& path, const std::uint8_t* bytes, std::size_t count,
                      Existing existing) {
  OutputFile file(path, existing);
  file.write(bytes, count);
  file.commit();
}

TemporaryDirectory::TemporaryDirectory() {
  std::error_code error;
  std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error) base = "/tmp";
  std::string pattern = (base / "apehost-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    throw failure(pattern, "cannot create a temporary directory (" + errno_text(errno) + ")");
  }
  path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace apehost
