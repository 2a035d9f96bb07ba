#pragma once
// host/cli: uses live, media, plugin, audio and base; the only layer that knows the command line.
//
// Where a lower layer's error gets the option in front. The lower layers say which file, device or
// value went wrong and why; only here is it known which option (or command) it came from.

#include <string>
#include <utility>

#include "base/host_error.hpp"

namespace apehost {

// Runs step and returns what it returns; a HostError it throws comes out as "<option>: <what it
// said>", with the same exit status.
template <class Step>
decltype(auto) about_option(const std::string& option, Step&& step) {
  try {
    return std::forward<Step>(step)();
  } catch (const HostError& e) {
    throw e.about(option);
  }
}

}  // namespace apehost
