#pragma once
// host/base: used by every layer of apehost; uses nothing of apehost.
//
// Stopping cleanly when the user interrupts a command that is writing files. Without a watch,
// SIGINT, SIGTERM and SIGHUP end apehost at once, as they end any program (nothing needs undoing
// then). While at least one InterruptionWatch lives (every output file and temporary directory
// holds one), those signals are only noted: the writers stop at their next check
// (stop_if_interrupted: before every frame and record, before an output is put in place, in every
// wait for ffmpeg), the stack unwinds removing the temporaries and stopping ffmpeg, and main ends
// the program by the same signal (end_by_signal), so its parent sees the usual status (130 for
// SIGINT in a shell). A signal that was being ignored (nohup) stays ignored.

#include <string>

#include "base/host_error.hpp"

namespace apehost {

class InterruptionWatch {
 public:
  InterruptionWatch();
  ~InterruptionWatch();
  InterruptionWatch(const InterruptionWatch&);
  InterruptionWatch& operator=(const InterruptionWatch&) = default;
};

// The signal noted while a watch was on; 0 when none was.
int interrupting_signal() noexcept;

// What stop_if_interrupted throws: "interrupted by SIGINT", exit status 128 + the signal.
class Interrupted : public HostError {
 public:
  explicit Interrupted(int signal);
  int signal() const noexcept { return signal_; }

 private:
  int signal_;
};

// Throws Interrupted when a signal was noted.
void stop_if_interrupted();

// Ends the program by this signal with its default action, so that the parent sees it as the
// cause; standard output is flushed first.
[[noreturn]] void end_by_signal(int signal);

}  // namespace apehost
