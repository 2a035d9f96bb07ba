#include "cli/output_policy.hpp"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "base/host_error.hpp"

namespace apehost {
namespace {

std::string normal_path(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return (error ? std::filesystem::path(path) : absolute).lexically_normal().string();
}

}  // namespace

void CommandFiles::input(const std::string& role, const std::string& path) {
  Input in;
  in.role = role;
  in.path = path;
  in.normal = normal_path(path);
  struct stat info {};
  if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
    in.found = true;
    in.device = static_cast<std::uint64_t>(info.st_dev);
    in.inode = static_cast<std::uint64_t>(info.st_ino);
  }
  inputs_.push_back(in);
}

CommandFiles::Conflict CommandFiles::conflict(const std::string& path, const Input*& input) const {
  struct stat info {};
  const bool reachable = stat(path.c_str(), &info) == 0;
  if (reachable && S_ISDIR(info.st_mode)) return Conflict::directory;
  if (reachable && (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode))) return Conflict::none;
  const std::string normal = normal_path(path);
  for (const Input& in : inputs_) {
    const bool same_file = reachable && in.found && S_ISREG(info.st_mode) &&
                           static_cast<std::uint64_t>(info.st_dev) == in.device &&
                           static_cast<std::uint64_t>(info.st_ino) == in.inode;
    if (same_file || in.normal == normal) {
      input = &in;
      return Conflict::input;
    }
  }
  struct stat link {};
  if (!overwrite_ && lstat(path.c_str(), &link) == 0) return Conflict::exists;
  return Conflict::none;
}

void CommandFiles::output(const std::string& option, const std::string& path) const {
  if (path.empty()) throw bad_input(option, "an empty file name");
  const Input* input = nullptr;
  switch (conflict(path, input)) {
    case Conflict::none:
      return;
    case Conflict::input:
      throw bad_input(option, path + " is the same file as " + input->role + " " + input->path +
                                  ", which this command reads; choose another output");
    case Conflict::directory:
      throw bad_input(option, path + " is a directory");
    case Conflict::exists:
      throw bad_input(option, path + " already exists; give -y (--overwrite) to replace it");
  }
}

void CommandFiles::frame_outputs(const std::string& option, const FramePattern& pattern,
                                 std::uint64_t count) const {
  std::string first_existing;
  std::uint64_t existing = 0;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::string name = pattern.format(i);
    const Input* input = nullptr;
    const Conflict found = conflict(name, input);
    if (found == Conflict::exists) {
      if (existing++ == 0) first_existing = name;
    } else if (found != Conflict::none) {
      output(option, name);  // refuses it, in the same words
    }
  }
  if (existing == 0) return;
  const std::string more = existing == 1
                               ? ""
                               : " (and " + std::to_string(existing - 1) + " more of this run's " +
                                     std::to_string(count) + " frame files)";
  throw bad_input(option, first_existing + " already exists" + more +
                              "; give -y (--overwrite) to replace " +
                              (existing == 1 ? "it" : "them"));
}

void add_overwrite_flag(CLI::App& app, bool& overwrite) {
  app.add_flag("-y,--overwrite", overwrite,
               "Replace output files that exist (without it, an existing output is refused). An "
               "output is never one of the inputs, and is written complete or not at all");
}

}  // namespace apehost
