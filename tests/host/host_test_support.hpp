#pragma once
// Shared by the apehost tests: a scratch directory per test, whole-file helpers, a PNG decoder (on
// libpng's reading side, independent of the writer under test) and a runner for the real binary.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "media/trace.hpp"

namespace hosttest {

// A fresh, empty directory, removed again with everything in it.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

std::vector<std::uint8_t> read_bytes(const std::string& path);
void write_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
// A shell script standing in for a program (a fake ffmpeg), executable.
void write_script(const std::string& path, const std::string& body);

// PATH replaced for as long as this lives.
class PathOverride {
 public:
  explicit PathOverride(const std::string& path);
  ~PathOverride();
  PathOverride(const PathOverride&) = delete;
  PathOverride& operator=(const PathOverride&) = delete;

 private:
  bool had_ = false;
  std::string old_;
};

struct DecodedPng {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, rows top first
};
DecodedPng decode_png(const std::string& path);

// A frame whose every byte tells where it is: frame f, byte i holds (f * 7 + i * 3 + i / 576) &
// 0xFF, beat on every third frame with a beat byte other than 1.
apehost::TraceFrame numbered_frame(int f);
void write_numbered_trace(const std::string& path, int frames, std::uint32_t fps = 30);

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  int signal = 0;   // the signal that ended it, 0 when it exited
  std::string out;
  std::string err;
  // The program's peak resident memory (the largest of it and the programs it waited for), as
  // wait4 reports it, and how long it ran.
  long max_rss_kb = 0;
  double seconds = 0.0;
};
// Runs apehost with these arguments (no shell), capturing both streams.
RunResult run_apehost(const std::vector<std::string>& args);

// How a program is started: environment variables set (a value) or removed (none), the working
// directory (empty: ours), and a program that runs apehost (xvfb-run -a ...), found on PATH.
struct RunSetup {
  std::vector<std::pair<std::string, std::optional<std::string>>> environment;
  std::string directory;
  std::vector<std::string> wrapper;
};
RunResult run_apehost(const std::vector<std::string>& args, const RunSetup& setup);

// Runs any program (looked up on PATH), capturing both streams.
RunResult run_program(const std::vector<std::string>& argv, const RunSetup& setup = {});

// A program started now and left running, to be driven while it runs (interrupted, sent keys):
// its output goes to files, read when it has ended. One still running is killed (SIGKILL) when
// this goes.
class RunningProgram {
 public:
  RunningProgram(const std::vector<std::string>& argv, const RunSetup& setup = {});
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  // Waits up to seconds for it to end; false when it still runs.
  bool wait(double seconds);
  // Waits for it to end; what run_program gives.
  RunResult wait();
  // Its exit status (128 + signal) and output, once it has ended.
  RunResult result() const;
  // Standard output so far.
  std::string out_so_far() const;
  void send_signal(int signal_number);
  int pid() const { return pid_; }

 private:
  bool reap(int options);  // true once it has ended

  int pid_ = -1;
  int status_ = -1;
  int signal_ = 0;
  bool ended_ = false;
  std::string out_path_;
  std::string err_path_;
  long max_rss_kb_ = 0;
  double seconds_ = 0.0;
  std::chrono::steady_clock::time_point started_;
};
// apehost started with these arguments and left running (see run_apehost).
RunningProgram start_apehost(const std::vector<std::string>& args, const RunSetup& setup = {});

// The names in a directory (not recursive), sorted.
std::vector<std::string> directory_names(const std::string& dir);

// Words of a raw frame stream, little-endian.
std::vector<std::uint32_t> raw_words(const std::vector<std::uint8_t>& bytes);

}  // namespace hosttest
