#pragma once
// host/base: used by every layer of apehost; uses nothing of apehost.
//
// The one error type of apehost. Every failure the user can act on (a bad argument, a file that is
// not what it should be, an output that cannot be created) is reported as one line naming the
// subject and the reason, and ends the program with exit status 2; failures the user cannot fix by
// changing the command line (a disk filling up mid-write) end it with status 1.
//
// A layer names what it knows: a file, a device, a value. Only the command line knows which option
// a file or device came from, and puts it in front (about()).

#include <stdexcept>
#include <string>

namespace apehost {

inline constexpr int kExitBadInput = 2;
inline constexpr int kExitFailure = 1;

class HostError : public std::runtime_error {
 public:
  // "<subject>: <reason>", or the reason alone when the subject is empty.
  HostError(const std::string& subject, const std::string& reason, int exit_status)
      : std::runtime_error(subject.empty() ? reason : subject + ": " + reason),
        subject_(subject),
        exit_status_(exit_status) {}
  // A whole message, as another library words it ("<path>: <reason>").
  HostError(const std::string& message, int exit_status) : HostError("", message, exit_status) {}

  int exit_status() const noexcept { return exit_status_; }
  // The file, device or value the error is about; empty when the message names none.
  const std::string& subject() const noexcept { return subject_; }

  // The same error one level out: "<outer>: <this message>", e.g. the option a device came from.
  HostError about(const std::string& outer) const { return {outer, what(), exit_status_}; }

 private:
  std::string subject_;
  int exit_status_;
};

// "<subject>: <reason>", exit status 2. subject is a file name, a device or a value; empty when the
// caller adds it.
inline HostError bad_input(const std::string& subject, const std::string& reason) {
  return {subject, reason, kExitBadInput};
}

// "<subject>: <reason>", exit status 1.
inline HostError failure(const std::string& subject, const std::string& reason) {
  return {subject, reason, kExitFailure};
}

// The text of errno, for the reason part of an error.
std::string errno_text(int error_number);

}  // namespace apehost
