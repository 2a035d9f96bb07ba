#include "live_test_support.hpp"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace hosttest {
namespace {

using Clock = std::chrono::steady_clock;

// Starts an X server that writes its display number to a pipe once it takes connections
// (-displayfd); returns the number, or throws with what the server said.
std::unique_ptr<RunningProgram> start_x_server(std::vector<std::string> argv,
                                               std::string& display) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  argv.insert(argv.begin() + 1, {"-displayfd", std::to_string(fds[1])});
  auto server = std::make_unique<RunningProgram>(argv);
  close(fds[1]);
  std::string number;
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  while (Clock::now() < deadline && number.find('\n') == std::string::npos) {
    pollfd wanted{fds[0], POLLIN, 0};
    if (poll(&wanted, 1, 100) <= 0) continue;
    char buffer[32];
    const ssize_t got = read(fds[0], buffer, sizeof buffer);
    if (got <= 0) break;
    number.append(buffer, static_cast<std::size_t>(got));
  }
  close(fds[0]);
  if (number.find('\n') == std::string::npos) {
    server->send_signal(SIGKILL);
    server->wait(5);
    throw std::runtime_error(argv.front() + " did not start: " + server->result().err);
  }
  display = ":" + number.substr(0, number.find('\n'));
  return server;
}

}  // namespace

XServer XServer::virtual_screen(const std::string& size) {
  XServer server;
  server.server_ =
      start_x_server({"Xvfb", "-screen", "0", size + "x24", "-nolisten", "tcp"}, server.display_);
  return server;
}

XServer XServer::two_monitors(const std::string& scratch) {
  // The dummy driver offers RandR outputs DUMMY0, DUMMY1, ...; the first comes up connected.
  const std::string config = scratch + "/xorg-two-monitors.conf";
  const std::string text =
      "Section \"Device\"\n  Identifier \"dummy\"\n  Driver \"dummy\"\n  VideoRam 65536\n"
      "EndSection\n"
      "Section \"Screen\"\n  Identifier \"screen\"\n  Device \"dummy\"\n  DefaultDepth 24\n"
      "  SubSection \"Display\"\n    Depth 24\n    Virtual 1440 600\n  EndSubSection\n"
      "EndSection\n";
  write_bytes(config, std::vector<std::uint8_t>(text.begin(), text.end()));
  XServer server;
  server.server_ = start_x_server({"Xorg", "-config", config, "-logfile", scratch + "/xorg.log",
                                   "-noreset", "-nolisten", "tcp", "-novtswitch", "-sharevts"},
                                  server.display_);
  RunSetup setup = server.setup();
  for (const std::vector<std::string>& step :
       {std::vector<std::string>{"xrandr", "--output", "DUMMY0", "--mode", "800x600"},
        std::vector<std::string>{"xrandr", "--addmode", "DUMMY1", "640x480"},
        std::vector<std::string>{"xrandr", "--output", "DUMMY1", "--mode", "640x480", "--right-of",
                                 "DUMMY0"}}) {
    const RunResult run = run_program(step, setup);
    if (run.status != 0) throw std::runtime_error("xrandr failed: " + run.err);
  }
  // The server takes the new layout in its own time: wait until it lists both monitors.
  RunResult monitors;
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  do {
    monitors = run_program({"xrandr", "--listactivemonitors"}, setup);
    if (monitors.out.rfind("Monitors: 2\n", 0) == 0) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  } while (Clock::now() < deadline);
  if (monitors.out.rfind("Monitors: 2\n", 0) != 0) {
    throw std::runtime_error("the second monitor did not come up: " + monitors.out + monitors.err);
  }
  return server;
}

XServer::XServer(XServer&& other) noexcept
    : server_(std::move(other.server_)), display_(std::move(other.display_)) {}

XServer::~XServer() {
  if (server_) {
    server_->send_signal(SIGTERM);
    if (!server_->wait(5)) server_->send_signal(SIGKILL);
  }
}

RunSetup XServer::setup() const {
  RunSetup setup;
  setup.environment = {{"DISPLAY", display_},
                       {"WAYLAND_DISPLAY", std::nullopt},
                       {"SDL_VIDEODRIVER", std::nullopt},
                       {"SDL_AUDIODRIVER", "dummy"},
                       {"XAUTHORITY", std::nullopt}};
  return setup;
}

RunResult xdotool(const XServer& server, const std::vector<std::string>& args) {
  std::vector<std::string> command = {"xdotool"};
  command.insert(command.end(), args.begin(), args.end());
  return run_program(command, server.setup());
}

std::string wait_for_window(const XServer& server, const std::string& name, double seconds) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < deadline) {
    const RunResult found = xdotool(server, {"search", "--name", name});
    if (found.status == 0 && !found.out.empty()) return found.out.substr(0, found.out.find('\n'));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return "";
}

void send_key(const XServer& server, const std::string& window, const std::string& key) {
  // Focus first: without a window manager no window has it, and xdotool's keys go where it is.
  xdotool(server, {"windowfocus", "--sync", window});
  xdotool(server, {"key", key});
}

bool wait_for_output(const RunningProgram& program, const std::string& text, double seconds) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < deadline) {
    if (program.out_so_far().find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

PulseServer::PulseServer() {
  // A short path: the daemon's socket lives in it, and socket paths are limited to 107 bytes.
  char pattern[] = "/tmp/ape-pulse-XXXXXX";
  if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
  directory_ = pattern;
  chmod(directory_.c_str(), 0700);
  RunSetup setup;
  setup.environment = environment();
  // --system=false with a runtime directory of its own lets it run as root too; -n: none of the
  // system's configuration (no hardware, no other sinks); it exits by itself if left idle.
  daemon_ = std::make_unique<RunningProgram>(
      std::vector<std::string>{
          "pulseaudio", "--daemonize=no", "--system=false", "-n", "--exit-idle-time=60",
          "--disable-shm=yes", "--log-target=stderr",
          "--load=module-native-protocol-unix auth-anonymous=1 socket=" + directory_ + "/native",
          std::string("--load=module-null-sink sink_name=") + kSink},
      setup);
  const auto deadline = Clock::now() + std::chrono::seconds(15);
  while (Clock::now() < deadline && !ready_) {
    if (daemon_->wait(0)) break;  // it ended: see log()
    ready_ = client({"pactl", "info"}).status == 0;
    if (!ready_) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (!ready_) log_ = daemon_->result().err;
}

PulseServer::~PulseServer() {
  daemon_->send_signal(SIGTERM);
  if (!daemon_->wait(5)) daemon_->send_signal(SIGKILL);
  daemon_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

std::vector<std::pair<std::string, std::optional<std::string>>> PulseServer::environment() const {
  return {{"XDG_RUNTIME_DIR", directory_},
          {"PULSE_RUNTIME_PATH", directory_},
          {"PULSE_STATE_PATH", directory_},
          {"PULSE_CONFIG_PATH", directory_},
          {"HOME", directory_},
          {"PULSE_SERVER", "unix:" + directory_ + "/native"}};
}

RunResult PulseServer::client(const std::vector<std::string>& argv) const {
  RunSetup setup;
  setup.environment = environment();
  return run_program(argv, setup);
}

bool PulseServer::unload_sink() const {
  return client({"pactl", "unload-module", "module-null-sink"}).status == 0;
}

}  // namespace hosttest
