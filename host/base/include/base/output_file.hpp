#pragma once
// host/base: used by every layer of apehost; uses nothing of apehost.
//
// Output files that never cost the user a file. The bytes go to a temporary file beside the target
// (same directory, so the same file system), hidden and keeping the target's extension (ffmpeg
// reads the format from it): "dir/.name.apehost-XXXXXX.ext". Only a complete file, flushed and
// synced, is renamed onto the target, in one step. A failed write, a full disk, a file size limit
// or an interruption leaves the target as it was (absent, or the old file) and removes the
// temporary.
//
// What may be replaced is the caller's to say (Existing); a target found to exist when it must not
// is refused, and so is one that appears while the file is being written: the file is then put in
// place only if nothing is there (an atomic no-replace rename), never over what appeared.
//
// A target that is a character device or a FIFO (/dev/null, a named pipe) holds no file to lose:
// it is written in place, as a stream.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/interruption.hpp"

namespace apehost {

enum class Existing {
  refuse,   // an existing target is refused, and never replaced
  replace,  // an existing file is replaced (its permissions kept)
};

class OutputFile {
 public:
  // Creates the temporary. Refused with a bad-input error naming the target: a directory, a target
  // that is neither a file nor a stream, an existing one when existing is refuse, a file that
  // cannot be created there.
  OutputFile(const std::string& target, Existing existing);
  ~OutputFile();  // not committed: the temporary is removed
  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&& other) noexcept;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  const std::string& target() const noexcept { return target_; }
  // The file being written: the temporary, or the target itself when that is a stream. A program
  // that writes the file by name (ffmpeg) is given this.
  const std::string& path() const noexcept { return path_; }
  bool is_stream() const noexcept { return stream_; }

  // The open file, buffered; open until close().
  std::FILE* file() const noexcept { return file_; }
  // Writes count bytes; a failure (a full disk, a file size limit) throws naming the target.
  void write(const void* bytes, std::size_t count);
  // Flushes, syncs and closes the file, so every failed write is reported here at the latest.
  // Sync::later leaves the sync to commit_all, which syncs many files at once.
  enum class Sync { now, later };
  void close(Sync sync = Sync::now);
  // Closes the file if open and puts it in place; stops first (Interrupted) if a signal came.
  void commit();
  // Closes the file if open and gives it this name if nothing has it (same directory as the
  // target); false, the temporary kept, when something does.
  bool commit_if_free(const std::string& name);
  // Removes the temporary (nothing for a stream, and nothing once committed).
  void discard() noexcept;

  // Puts every file in place together: one check for a signal first, so that an interruption
  // never leaves some of them in place and others not, and one sync of their file systems.
  static void commit_all(std::vector<OutputFile>& files);

 private:
  void place();

  std::string target_;
  std::string destination_;  // where the rename goes: the target, or the file a link names
  std::string path_;
  Existing existing_ = Existing::refuse;
  bool stream_ = false;
  bool pending_ = false;  // a temporary that is still ours to remove
  bool synced_ = false;
  unsigned mode_ = 0;  // the permissions the file gets
  std::FILE* file_ = nullptr;
  InterruptionWatch watch_;
};

// The names of a numbered series: name_of(1), name_of(2), ... ("demo.mp4", "demo-2.mp4").
using NumberedName = std::function<std::string(std::uint64_t)>;
inline constexpr std::uint64_t kMaxNumberedNames = 100000;

// The first name of the series that nothing has (a look, not a claim); refuses (bad input) when
// all kMaxNumberedNames are taken.
std::string first_free_name(const NumberedName& name_of);

// A new file under the first free name of the series (all names in one directory), never replacing
// anything: write fills it (a temporary beside the names), then it takes the first name that is
// free at that moment. Returns that name.
std::string write_numbered_file(const NumberedName& name_of,
                                const std::function<void(OutputFile&)>& write);

}  // namespace apehost
