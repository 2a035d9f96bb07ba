#include "base/output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

#include "base/host_error.hpp"

namespace apehost {
namespace {

// The temporary's name keeps this much of the target's: names stay within the 255 bytes a file
// system allows, and an extension longer than any real one is not taken for one.
constexpr std::size_t kMaxStemBytes = 160;
constexpr std::size_t kMaxExtensionBytes = 32;
constexpr const char* kTemporaryMark = ".apehost-XXXXXX";
constexpr unsigned kNewFileMode = 0666;  // before the umask, as every program creates files
constexpr unsigned kDefaultUmask = 022;

// The process's umask, read without changing it (umask() would, for a moment, for every thread).
unsigned process_umask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0)
      return static_cast<unsigned>(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  return kDefaultUmask;
}

HostError cannot_place(const std::string& target, int error) {
  return failure(target, "cannot put the written file in place (" + errno_text(error) + ")");
}

// Renames from onto to unless something is at to: false then, and from is left as it is.
bool rename_if_free(const std::string& from, const std::string& to, const std::string& target) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno == EEXIST) return false;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) throw cannot_place(target, errno);
  // A file system without the no-replace rename: a hard link is just as exclusive.
  if (link(from.c_str(), to.c_str()) == 0) {
    unlink(from.c_str());
    return true;
  }
  if (errno == EEXIST) return false;
  if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) throw cannot_place(target, errno);
  // Nor hard links (a FAT stick): look, then rename; the race is left open only there.
  struct stat info {};
  if (lstat(to.c_str(), &info) == 0) return false;
  if (std::rename(from.c_str(), to.c_str()) != 0) throw cannot_place(target, errno);
  return true;
}

// The index of the first free name of the series from start on; 0 when all are taken.
std::uint64_t first_free_index(const NumberedName& name_of, std::uint64_t start) {
  for (std::uint64_t n = start; n <= kMaxNumberedNames; ++n) {
    struct stat info {};
    if (lstat(name_of(n).c_str(), &info) != 0 && errno == ENOENT) return n;
  }
  return 0;
}

HostError series_full(const NumberedName& name_of) {
  return bad_input(name_of(1),
                   "every name of the series up to " + name_of(kMaxNumberedNames) + " is taken");
}

}  // namespace

OutputFile::OutputFile(const std::string& target, Existing existing)
    : target_(target), destination_(target), path_(target), existing_(existing) {
  if (target.empty()) throw bad_input("", "an output needs a file name, not an empty one");
  struct stat link_info {};
  const bool exists = lstat(target.c_str(), &link_info) == 0;
  struct stat info {};
  const bool reachable = stat(target.c_str(), &info) == 0;
  if (reachable && S_ISDIR(info.st_mode)) throw bad_input(target, "is a directory");
  if (reachable && (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode))) {
    file_ = std::fopen(target.c_str(), "wb");
    if (!file_) throw bad_input(target, "cannot open for writing (" + errno_text(errno) + ")");
    stream_ = true;
    return;
  }
  if (reachable && !S_ISREG(info.st_mode)) throw bad_input(target, "not a regular file");
  if (exists && existing == Existing::refuse) throw bad_input(target, "already exists");
  if (exists && S_ISLNK(link_info.st_mode) && reachable) {
    // Through a symbolic link, the file it names is replaced and the link kept.
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(target, error);
    if (!error) destination_ = real.string();
  }
  mode_ = reachable ? (info.st_mode & 0777u) : (kNewFileMode & ~process_umask());

  const std::filesystem::path destination(destination_);
  std::string stem = destination.stem().string();
  std::string extension = destination.extension().string();
  if (extension.size() > kMaxExtensionBytes) {
    stem += extension;
    extension.clear();
  }
  if (stem.size() > kMaxStemBytes) stem.resize(kMaxStemBytes);
  std::string name =
      (destination.parent_path() / ("." + stem + kTemporaryMark + extension)).string();
  const int fd = mkostemps(name.data(), static_cast<int>(extension.size()), O_CLOEXEC);
  if (fd < 0) throw bad_input(target, "cannot create (" + errno_text(errno) + ")");
  file_ = fdopen(fd, "wb");
  if (!file_) {
    const int error = errno;
    ::close(fd);
    unlink(name.c_str());
    throw failure(target, "cannot write (" + errno_text(error) + ")");
  }
  path_ = name;
  pending_ = true;
}

OutputFile::~OutputFile() { discard(); }

OutputFile::OutputFile(OutputFile&& other) noexcept
    : target_(std::move(other.target_)),
      destination_(std::move(other.destination_)),
      path_(std::move(other.path_)),
      existing_(other.existing_),
      stream_(other.stream_),
      pending_(std::exchange(other.pending_, false)),
      synced_(other.synced_),
      mode_(other.mode_),
      file_(std::exchange(other.file_, nullptr)),
      watch_(other.watch_) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this == &other) return *this;
  discard();
  target_ = std::move(other.target_);
  destination_ = std::move(other.destination_);
  path_ = std::move(other.path_);
  existing_ = other.existing_;
  stream_ = other.stream_;
  pending_ = std::exchange(other.pending_, false);
  synced_ = other.synced_;
  mode_ = other.mode_;
  file_ = std::exchange(other.file_, nullptr);
  return *this;
}

void OutputFile::write(const void* bytes, std::size_t count) {
  if (!file_) throw failure(target_, "write after close");
  if (std::fwrite(bytes, 1, count, file_) != count) {
    throw failure(target_, "write failed (" + errno_text(errno) + ")");
  }
}

void OutputFile::close(Sync sync) {
  if (!file_) return;
  std::FILE* file = std::exchange(file_, nullptr);
  int error = 0;
  if (std::ferror(file)) error = errno != 0 ? errno : EIO;
  if (error == 0 && std::fflush(file) != 0) error = errno;
  if (!stream_) {
    if (error == 0 && fchmod(fileno(file), mode_) != 0) error = errno;
    // On the disk before it takes the target's name, so that the name never points at a file
    // whose blocks are still to come.
    if (error == 0 && sync == Sync::now && fsync(fileno(file)) != 0) error = errno;
    synced_ = sync == Sync::now;
  }
  if (std::fclose(file) != 0 && error == 0) error = errno;
  if (error != 0) throw failure(target_, "write failed (" + errno_text(error) + ")");
}

void OutputFile::commit() {
  stop_if_interrupted();
  close();
  place();
}

void OutputFile::place() {
  if (stream_ || !pending_) return;
  if (existing_ == Existing::replace) {
    if (std::rename(path_.c_str(), destination_.c_str()) != 0) throw cannot_place(target_, errno);
  } else if (!rename_if_free(path_, destination_, target_)) {
    throw bad_input(target_, "appeared while it was being written; left as it is");
  }
  pending_ = false;
}

bool OutputFile::commit_if_free(const std::string& name) {
  stop_if_interrupted();
  close();
  if (stream_ || !pending_) return true;
  if (!rename_if_free(path_, name, name)) return false;
  target_ = name;
  destination_ = name;
  pending_ = false;
  return true;
}

void OutputFile::discard() noexcept {
  if (file_) std::fclose(std::exchange(file_, nullptr));
  if (pending_) unlink(path_.c_str());
  pending_ = false;
}

void OutputFile::commit_all(std::vector<OutputFile>& files) {
  stop_if_interrupted();
  // One sync of each directory's file system instead of one per file: a thousand small frames
  // take a fraction of the time.
  std::string synced_dir;
  for (OutputFile& file : files) {
    file.close(Sync::later);
    if (file.synced_ || file.stream_ || !file.pending_) continue;
    const std::string dir = std::filesystem::path(file.path_).parent_path().string();
    if (dir == synced_dir) continue;
    const int fd = open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int error = fd < 0 || syncfs(fd) != 0 ? errno : 0;
    if (fd >= 0) ::close(fd);
    if (error != 0) throw failure(file.target_, "write failed (" + errno_text(error) + ")");
    synced_dir = dir;
  }
  for (OutputFile& file : files) file.place();
}

std::string first_free_name(const NumberedName& name_of) {
  const std::uint64_t n = first_free_index(name_of, 1);
  if (n == 0) throw series_full(name_of);
  return name_of(n);
}

std::string write_numbered_file(const NumberedName& name_of,
                                const std::function<void(OutputFile&)>& write) {
  std::uint64_t n = first_free_index(name_of, 1);
  if (n == 0) throw series_full(name_of);
  OutputFile file(name_of(n), Existing::refuse);
  write(file);
  // Taken while it was written: the next free one.
  for (; n != 0; n = first_free_index(name_of, n + 1)) {
    const std::string name = name_of(n);
    if (file.commit_if_free(name)) return name;
  }
  throw series_full(name_of);
}

}  // namespace apehost
