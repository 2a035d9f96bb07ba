#include "host_test_support.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace hosttest {

ScratchDir::ScratchDir() {
  static std::atomic<int> counter{0};
  const auto* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "apehost";
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  path_ = std::filesystem::temp_directory_path() /
          ("apehost_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + "_" + name);
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::vector<std::uint8_t> read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

void write_script(const std::string& path, const std::string& body) {
  write_bytes(path, std::vector<std::uint8_t>(body.begin(), body.end()));
  chmod(path.c_str(), 0755);
}

PathOverride::PathOverride(const std::string& path) {
  const char* old = std::getenv("PATH");
  had_ = old != nullptr;
  if (old) old_ = old;
  setenv("PATH", path.c_str(), 1);
}

PathOverride::~PathOverride() {
  if (had_) {
    setenv("PATH", old_.c_str(), 1);
  } else {
    unsetenv("PATH");
  }
}

DecodedPng decode_png(const std::string& path) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    throw std::runtime_error(path + ": " + image.message);
  }
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
    throw std::runtime_error(path + ": " + image.message);
  }
  DecodedPng png;
  png.width = static_cast<int>(image.width);
  png.height = static_cast<int>(image.height);
  png.pixels.resize(static_cast<std::size_t>(png.width) * png.height);
  for (std::size_t i = 0; i < png.pixels.size(); ++i) {
    png.pixels[i] =
        std::uint32_t{rgb[3 * i]} << 16 | std::uint32_t{rgb[3 * i + 1]} << 8 | rgb[3 * i + 2];
  }
  return png;
}

apehost::TraceFrame numbered_frame(int f) {
  apehost::TraceFrame frame;
  frame.beat = f % 3 == 1;
  for (std::size_t i = 0; i < frame.sound.size(); ++i) {
    frame.sound[i] =
        static_cast<std::uint8_t>((static_cast<std::size_t>(f) * 7 + i * 3 + i / 576) & 0xFF);
  }
  return frame;
}

void write_numbered_trace(const std::string& path, int frames, std::uint32_t fps) {
  apehost::TraceWriter writer(path, fps);
  for (int f = 0; f < frames; ++f) writer.write(numbered_frame(f));
  writer.close();
}

namespace {

std::string temporary_file(const char* stem) {
  std::string name = std::string("/tmp/") + stem + "XXXXXX";
  const int fd = mkstemp(name.data());
  if (fd < 0) throw std::runtime_error("mkstemp failed");
  close(fd);
  return name;
}

std::string read_text(const std::string& path) {
  try {
    const std::vector<std::uint8_t> bytes = read_bytes(path);
    return {bytes.begin(), bytes.end()};
  } catch (const std::exception&) {
    return "";
  }
}

}  // namespace

RunningProgram::RunningProgram(const std::vector<std::string>& command, const RunSetup& setup)
    : out_path_(temporary_file("apehost_out")), err_path_(temporary_file("apehost_err")) {
  std::vector<std::string> argv_text = command;
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  // Our environment with the setup's changes.
  std::vector<std::string> env_text;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    bool changed = false;
    for (const auto& [key, value] : setup.environment) changed = changed || key == name;
    if (!changed) env_text.push_back(entry);
  }
  for (const auto& [key, value] : setup.environment) {
    if (value) env_text.push_back(key + "=" + *value);
  }
  std::vector<char*> envp;
  for (std::string& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_path_.c_str(), O_WRONLY | O_TRUNC,
                                   0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_path_.c_str(), O_WRONLY | O_TRUNC,
                                   0);
  if (!setup.directory.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, setup.directory.c_str());
  }
  pid_t pid = 0;
  started_ = std::chrono::steady_clock::now();
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    unlink(out_path_.c_str());
    unlink(err_path_.c_str());
    throw std::runtime_error("cannot run " + command.front());
  }
  pid_ = pid;
}

RunningProgram::~RunningProgram() {
  if (!ended_ && pid_ > 0) {
    kill(pid_, SIGKILL);
    reap(0);
  }
  unlink(out_path_.c_str());
  unlink(err_path_.c_str());
}

bool RunningProgram::reap(int options) {
  if (ended_) return true;
  int wait_status = 0;
  struct rusage usage {};
  pid_t done = 0;
  while ((done = wait4(pid_, &wait_status, options, &usage)) < 0 && errno == EINTR) {
  }
  if (done != pid_) return false;
  ended_ = true;
  max_rss_kb_ = usage.ru_maxrss;
  seconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  signal_ = WIFSIGNALED(wait_status) ? WTERMSIG(wait_status) : 0;
  status_ = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + signal_;
  return true;
}

bool RunningProgram::wait(double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!reap(WNOHANG)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

RunResult RunningProgram::wait() {
  reap(0);
  return result();
}

RunResult RunningProgram::result() const {
  RunResult result;
  result.status = status_;
  result.signal = signal_;
  result.max_rss_kb = max_rss_kb_;
  result.seconds = seconds_;
  result.out = read_text(out_path_);
  result.err = read_text(err_path_);
  return result;
}

std::string RunningProgram::out_so_far() const { return read_text(out_path_); }

void RunningProgram::send_signal(int signal_number) {
  if (!ended_) kill(pid_, signal_number);
}

RunResult run_program(const std::vector<std::string>& command, const RunSetup& setup) {
  return RunningProgram(command, setup).wait();
}

std::vector<std::string> directory_names(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

#ifdef APEHOST_EXE
RunResult run_apehost(const std::vector<std::string>& args) { return run_apehost(args, {}); }

namespace {

// The command line and setup that run apehost as the tests run it.
std::pair<std::vector<std::string>, RunSetup> apehost_command(const std::vector<std::string>& args,
                                                              const RunSetup& setup) {
  std::vector<std::string> command = setup.wrapper;
  command.push_back(APEHOST_EXE);
  command.insert(command.end(), args.begin(), args.end());
  // Sanitizer builds: apehost links aubio, which brings in ffmpeg's libraries and with them some
  // (GLib's, SRT's) that keep allocations in thread-local storage from their constructors on.
  // With those loaded, LeakSanitizer's exit-time scan of an apehost that has loaded a module with
  // thread-local state crashes its own tracer now and then ("Tracer caught signal 11"), depending
  // on the memory layout. So the apehost processes these tests start check no leaks; the test
  // executables, which run the same library code in-process, still do.
  RunSetup child = setup;
  bool asan_given = false;
  for (const auto& entry : setup.environment)
    asan_given = asan_given || entry.first == "ASAN_OPTIONS";
  if (!asan_given) {
    const char* old = std::getenv("ASAN_OPTIONS");
    child.environment.push_back(
        {"ASAN_OPTIONS",
         std::string(old && *old ? std::string(old) + ":" : "") + "detect_leaks=0"});
  }
  return {command, child};
}

}  // namespace

RunResult run_apehost(const std::vector<std::string>& args, const RunSetup& setup) {
  const auto [command, child] = apehost_command(args, setup);
  return run_program(command, child);
}

RunningProgram start_apehost(const std::vector<std::string>& args, const RunSetup& setup) {
  const auto [command, child] = apehost_command(args, setup);
  return RunningProgram(command, child);
}
#endif

std::vector<std::uint32_t> raw_words(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::uint32_t> words(bytes.size() / 4);
  for (std::size_t i = 0; i < words.size(); ++i) {
    words[i] = std::uint32_t{bytes[4 * i]} | std::uint32_t{bytes[4 * i + 1]} << 8 |
               std::uint32_t{bytes[4 * i + 2]} << 16 | std::uint32_t{bytes[4 * i + 3]} << 24;
  }
  return words;
}

}  // namespace hosttest
