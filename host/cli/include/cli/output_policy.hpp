#pragma once
// host/cli: uses live, media, plugin, audio and base; the only layer that knows the command line.
//
// Which files a command reads and which it writes, checked before it reads or writes anything:
//   - no output is one of the command's inputs (the song, a trace, a settings blob, a plug-in
//     module ...), by name or as the same file under another name (a symbolic or hard link);
//   - an output that exists is replaced only when -y (--overwrite) was given.
// A refusal is one line naming both files, or the file and the flag (exit status 2). The writers
// then write every output complete or not at all (base/output_file.hpp). Character devices and
// FIFOs (/dev/null, a named pipe) hold no file to lose: they are written as streams, -y or not.

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "base/output_file.hpp"
#include "media/frame_sink.hpp"

namespace apehost {

class CommandFiles {
 public:
  explicit CommandFiles(bool overwrite) : overwrite_(overwrite) {}

  // A file the command reads, and what to call it in a message ("--trace", "the plug-in").
  void input(const std::string& role, const std::string& path);
  // A file the command writes, given with option: refused (bad input) when it is one of the inputs
  // given so far, a directory, or an existing file without -y.
  void output(const std::string& option, const std::string& path) const;
  // The frame files of a PNG pattern, frames 0 to count - 1, each checked as output() checks; an
  // existing one is reported with how many more of the run's frame files exist.
  void frame_outputs(const std::string& option, const FramePattern& pattern,
                     std::uint64_t count) const;
  // What the writers may do with an existing output.
  Existing existing() const noexcept { return overwrite_ ? Existing::replace : Existing::refuse; }

 private:
  struct Input {
    std::string role;
    std::string path;
    std::string normal;  // absolute, lexically normal
    bool found = false;  // a regular file, with this identity:
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
  };
  enum class Conflict { none, input, directory, exists };
  Conflict conflict(const std::string& path, const Input*& input) const;

  bool overwrite_;
  std::vector<Input> inputs_;
};

// -y, --overwrite, on every command that writes files.
void add_overwrite_flag(CLI::App& app, bool& overwrite);

}  // namespace apehost
