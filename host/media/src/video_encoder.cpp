#include "media/video_encoder.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "base/file_io.hpp"
#include "base/host_error.hpp"
#include "base/interruption.hpp"

extern char** environ;

namespace apehost {
namespace {

bool is_program(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The first directory of PATH holding an executable of this name.
std::string search_path(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (!path) return "";
  const std::string dirs = path;
  std::size_t start = 0;
  for (;;) {
    const auto colon = dirs.find(':', start);
    std::string dir = dirs.substr(start, colon == std::string::npos ? colon : colon - start);
    if (dir.empty()) dir = ".";  // an empty entry is the current directory
    if (is_program(dir + "/" + name)) return dir + "/" + name;
    if (colon == std::string::npos) return "";
    start = colon + 1;
  }
}

// What ffmpeg said last: the final non-empty line of its log, or nothing.
std::string last_line(const std::string& log_path) {
  std::ifstream log(log_path);
  std::string line;
  std::string last;
  while (std::getline(log, line)) {
    if (line.find_first_not_of(" \t\r") != std::string::npos) last = line;
  }
  while (!last.empty() && (last.back() == '\r' || last.back() == ' ')) last.pop_back();
  return last;
}

// ffmpeg reads "file:" names as plain paths: no protocol prefix or leading '-' is taken for
// anything else.
std::string file_url(const std::string& path) { return "file:" + path; }

}  // namespace

bool is_encoder_speed(std::string_view name) {
  for (std::string_view speed : kEncoderSpeeds) {
    if (speed == name) return true;
  }
  return false;
}

std::string find_program(const std::string& name) {
  if (name.find('/') == std::string::npos) return search_path(name);
  return is_program(name) ? name : "";
}

void check_video_size(int width, int height) {
  if (width % 2 == 0 && height % 2 == 0) return;
  const int even_width = width + width % 2;
  const int even_height = height + height % 2;
  throw bad_input("", std::to_string(width) + "x" + std::to_string(height) +
                          " has an odd side; H.264 video in 4:2:0 needs an even width and "
                          "height (e.g. " +
                          std::to_string(even_width) + "x" + std::to_string(even_height) + ")");
}

std::vector<std::string> ffmpeg_arguments(const VideoSettings& s) {
  const std::string fps = std::to_string(s.frames_per_second);
  std::vector<std::string> args = {
      s.ffmpeg, "-hide_banner", "-loglevel", "error", "-y",
      // The frames, as RawFrameSink writes them: little-endian 0x00RRGGBB words.
      "-f", "rawvideo", "-pixel_format", "bgr0", "-video_size",
      std::to_string(s.width) + "x" + std::to_string(s.height), "-framerate", fps, "-i", "pipe:0"};
  if (!s.audio_wav.empty()) {
    args.push_back("-i");
    args.push_back(file_url(s.audio_wav));
  }
  for (const char* a : {"-map", "0:v:0"}) args.push_back(a);
  if (!s.audio_wav.empty()) {
    for (const char* a : {"-map", "1:a:0"}) args.push_back(a);
  }
  for (const char* a : {"-c:v", "libx264", "-preset"}) args.push_back(a);
  args.push_back(s.speed);
  args.push_back("-crf");
  args.push_back(std::to_string(s.crf));
  for (const char* a : {"-pix_fmt", "yuv420p", "-vsync", "cfr", "-r"}) args.push_back(a);
  args.push_back(fps);
  if (!s.audio_wav.empty()) {
    // The last frame may run past the end of the song; the song decides the length.
    for (const char* a : {"-c:a", "aac", "-b:a", "192k", "-shortest"}) args.push_back(a);
  }
  // The index at the front, so players can start before the whole file has arrived.
  for (const char* a : {"-movflags", "+faststart"}) args.push_back(a);
  args.push_back(file_url(s.output));
  return args;
}

VideoFrameSink::VideoFrameSink(const VideoSettings& settings) : settings_(settings) {
  try {
    check_video_size(settings.width, settings.height);
  } catch (const HostError& e) {
    throw e.about(settings.output);
  }
  // An output that cannot be created is refused before ffmpeg starts, with the same words as the
  // other outputs. ffmpeg writes the temporary (it exists, hence -y), by a name with the output's
  // extension, from which it takes the container.
  output_.emplace(settings.output, settings.existing);
  VideoSettings encoding = settings;
  encoding.output = output_->path();
  log_path_ = log_directory_.path("ffmpeg.log");

  // A socket rather than a pipe, so that the frames can be sent with MSG_NOSIGNAL. Both ends are
  // closed on exec: ffmpeg gets its end as standard input, duplicated without that flag.
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
    throw failure("ffmpeg", "cannot make a socket (" + errno_text(errno) + ")");
  }

  std::vector<std::string> args = ffmpeg_arguments(encoding);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log_path_.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[0]);
  if (spawned != 0) {
    close(fds[1]);
    pid_ = -1;
    throw bad_input(settings.ffmpeg, "cannot run (" + errno_text(spawned) + ")");
  }
  to_ffmpeg_ = fds[1];
  sender_ = std::thread([this] { send_frames(); });
}

VideoFrameSink::~VideoFrameSink() {
  if (finished_) return;
  abandon();
  if (to_ffmpeg_ >= 0) close(to_ffmpeg_);
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }
  // The temporary goes with output_, after ffmpeg has stopped writing it.
}

void VideoFrameSink::write(std::uint64_t, const std::uint32_t* pixels, int width, int height) {
  // The frame before must be out first: its pixels, or its packed bytes, are free again after.
  wait_for_sent_frame();
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  const std::span<const unsigned char> bytes = bgr0_.of(pixels, count);
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    unsent_ = bytes;
    sending_ = true;
  }
  changed_.notify_all();
}

void VideoFrameSink::send_frames() {
  for (;;) {
    std::span<const unsigned char> bytes;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return sending_ || stopping_; });
      if (!sending_) return;
      bytes = unsent_;
    }
    bool sent = true;
    std::size_t done = 0;
    while (done < bytes.size()) {
      // MSG_NOSIGNAL: a dead ffmpeg gives EPIPE here, not a SIGPIPE.
      const ssize_t n = ::send(to_ffmpeg_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {  // ffmpeg stopped reading: it has failed
        sent = false;
        break;
      }
      done += static_cast<std::size_t>(n);
    }
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      sending_ = false;
      send_failed_ = !sent;
    }
    changed_.notify_all();
    if (!sent) return;
  }
}

void VideoFrameSink::wait_for_sent_frame() {
  bool failed = false;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !sending_; });
    failed = send_failed_;
  }
  if (failed) fail_with_ffmpeg_status();
}

void VideoFrameSink::abandon() noexcept {
  // A send blocked on an ffmpeg that reads no more ends with the socket shut down.
  if (to_ffmpeg_ >= 0) shutdown(to_ffmpeg_, SHUT_RDWR);
  stop_sending();
}

void VideoFrameSink::stop_sending() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (sender_.joinable()) sender_.join();
}

int VideoFrameSink::wait_for_ffmpeg() {
  stop_sending();
  if (to_ffmpeg_ >= 0) close(to_ffmpeg_);
  to_ffmpeg_ = -1;
  if (pid_ > 0) {
    while (waitpid(pid_, &ffmpeg_status_, 0) < 0 && errno == EINTR) {
      stop_if_interrupted();  // the destructor stops ffmpeg
    }
    pid_ = -1;
  }
  // Waited for once; asked again (finish() after a failed write), the same status.
  return ffmpeg_status_;
}

HostError VideoFrameSink::ffmpeg_failure(int status) const {
  // An interrupt from the terminal reaches ffmpeg too: its failure is then the interruption.
  stop_if_interrupted();
  const std::string how = !WIFEXITED(status) ? " (signal " + std::to_string(WTERMSIG(status)) + ")"
                          : WEXITSTATUS(status) != 0
                              ? " (exit status " + std::to_string(WEXITSTATUS(status)) + ")"
                              : "";
  // What ffmpeg said of the temporary it wrote is said of the output.
  std::string said = last_line(log_path_);
  for (const std::string& name : {"file:" + output_->path(), output_->path()}) {
    for (auto at = said.find(name); at != std::string::npos; at = said.find(name, at + 1)) {
      said.replace(at, name.size(), settings_.output);
    }
  }
  return failure(settings_.output, "ffmpeg failed" + how + (said.empty() ? "" : ": " + said));
}

void VideoFrameSink::fail_with_ffmpeg_status() { throw ffmpeg_failure(wait_for_ffmpeg()); }

void VideoFrameSink::finish() {
  wait_for_sent_frame();
  const int status = wait_for_ffmpeg();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw ffmpeg_failure(status);
  // A write of the file's end that failed (a full disk) is on ffmpeg's log, yet it exits with 0:
  // at -loglevel error, whatever it said is an error.
  if (!last_line(log_path_).empty()) throw ffmpeg_failure(status);
  output_->commit();
  finished_ = true;
}

}  // namespace apehost
