#pragma once
// For the tests of the live window: programs left running while the test drives them, X servers
// (a virtual screen, or two monitors side by side), keys sent with xdotool, and a PulseAudio daemon
// of the test's own. Each server is started by the object that owns it and stopped when it goes.

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host_test_support.hpp"

namespace hosttest {

// An X server of the test's own on a free display number.
class XServer {
 public:
  // One virtual screen (Xvfb) of this size, "800x600".
  static XServer virtual_screen(const std::string& size);
  // Two monitors side by side on one screen, as a desktop with two displays has them: an X server
  // with the dummy video driver and RandR, the first monitor 800x600 at 0,0, the second 640x480
  // at 800,0.
  static XServer two_monitors(const std::string& scratch);

  XServer(XServer&&) noexcept;
  ~XServer();
  const std::string& display() const { return display_; }
  // The environment a program needs to open its windows here (and SDL's dummy audio driver).
  RunSetup setup() const;

 private:
  XServer() = default;
  std::unique_ptr<RunningProgram> server_;
  std::string display_;
};

// xdotool against display, with arguments; its output.
RunResult xdotool(const XServer& server, const std::vector<std::string>& args);
// The id of the first window whose title contains name, waiting up to seconds for one; empty when
// none showed.
std::string wait_for_window(const XServer& server, const std::string& name, double seconds);
// Sends one key (xdotool's name for it: "n", "F2", "Left") to the window, focused first.
void send_key(const XServer& server, const std::string& window, const std::string& key);
// Waits up to seconds until text appears in what program has written to standard output.
bool wait_for_output(const RunningProgram& program, const std::string& text, double seconds);

// A PulseAudio daemon in a private runtime directory, with no configuration of the system's and a
// null sink ("apetest") whose monitor is the capture device "Monitor of Null Output".
class PulseServer {
 public:
  PulseServer();
  ~PulseServer();
  PulseServer(const PulseServer&) = delete;
  PulseServer& operator=(const PulseServer&) = delete;

  bool ready() const { return ready_; }
  const std::string& log() const { return log_; }
  // The environment that makes clients (paplay, pactl, SDL) use this daemon.
  std::vector<std::pair<std::string, std::optional<std::string>>> environment() const;
  // Runs a client program (pactl, paplay) against the daemon.
  RunResult client(const std::vector<std::string>& argv) const;
  // Removes the null sink, and with it its monitor.
  bool unload_sink() const;

  static constexpr const char* kSink = "apetest";

 private:
  std::string directory_;
  std::unique_ptr<RunningProgram> daemon_;
  bool ready_ = false;
  mutable std::string log_;
};

}  // namespace hosttest
