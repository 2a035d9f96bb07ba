#include "base/file_io.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

void write_file_bytes(const std::string& path, const std::uint8_t* bytes, std::size_t count) {
  UniqueFile file(std::fopen(path.c_str(), "wb"));
  if (!file) throw bad_input(path, "cannot create (" + errno_text(errno) + ")");
  if (std::fwrite(bytes, 1, count, file.get()) != count) {
    throw failure(path, "write failed (" + errno_text(errno) + ")");
  }
  if (std::fclose(file.release()) != 0)
    throw failure(path, "write failed (" + errno_text(errno) + ")");
}

NumberedFile create_numbered_file(const std::string& prefix, const std::string& suffix) {
  // Far more than anyone saves by hand; past it the folder is better cleaned than searched.
  constexpr int kMaxNumber = 99999;
  for (int number = 1; number <= kMaxNumber; ++number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", number);
    NumberedFile made;
    made.path = prefix + digits + suffix;
    const int fd = open(made.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      throw failure(made.path, "cannot create (" + errno_text(errno) + ")");
    }
    made.file.reset(fdopen(fd, "wb"));
    if (!made.file) {
      const int error = errno;
      close(fd);
      throw failure(made.path, "cannot write (" + errno_text(error) + ")");
    }
    return made;
  }
  throw failure(prefix + "*" + suffix,
                "every number up to " + std::to_string(kMaxNumber) + " is taken");
}

void finish_numbered_file(NumberedFile& file, const std::uint8_t* bytes, std::size_t count) {
  if (std::fwrite(bytes, 1, count, file.file.get()) != count) {
    throw failure(file.path, "write failed (" + errno_text(errno) + ")");
  }
  if (std::fclose(file.file.release()) != 0) {
    throw failure(file.path, "write failed (" + errno_text(errno) + ")");
  }
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
