#pragma once
// The one error type of apehost. Every failure the user can act on (a bad argument, a file that is
// not what it should be, an output that cannot be created) is reported as one line naming the file
// or the option and the reason, and ends the program with exit status 2; failures the user cannot
// fix by changing the command line (a disk filling up mid-write) end it with status 1.

#include <stdexcept>
#include <string>

namespace apehost {

inline constexpr int kExitBadInput = 2;
inline constexpr int kExitFailure = 1;

class HostError : public std::runtime_error {
 public:
  HostError(const std::string& message, int exit_status)
      : std::runtime_error(message), exit_status_(exit_status) {}
  int exit_status() const noexcept { return exit_status_; }

 private:
  int exit_status_;
};

// "<subject>: <reason>", exit status 2. subject is a file name or an option.
inline HostError bad_input(const std::string& subject, const std::string& reason) {
  return HostError(subject + ": " + reason, kExitBadInput);
}

// "<subject>: <reason>", exit status 1.
inline HostError failure(const std::string& subject, const std::string& reason) {
  return HostError(subject + ": " + reason, kExitFailure);
}

// The text of errno, for the reason part of an error.
std::string errno_text(int error_number);

}  // namespace apehost
