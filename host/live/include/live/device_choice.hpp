#pragma once
// host/live: uses plugin, audio and base, and SDL (inside its sources only); used by cli.
//
// Which capture device the user meant: its exact name, its number in the list, or a part of its
// name that no other device shares.

#include <string>
#include <vector>

namespace apehost {

// The name of the device wanted names among names; empty when wanted is empty (the default input).
// An exact name wins over a number. Throws a bad-input error saying what was typed and listing the
// choices when it matches none or several; where it was typed is for the caller to add.
std::string choose_capture_device(const std::string& wanted, const std::vector<std::string>& names);

}  // namespace apehost
