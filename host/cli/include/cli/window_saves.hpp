#pragma once
// host/cli: uses live, media, plugin, audio and base; the only layer that knows the command line.
//
// What the live window's keys save, each in a new numbered file in the current folder (the lowest
// free number when the file is complete; written beside it first and never put over anything):
//   S   the stack as it is now, colours changed with C and B included: apehost-preset-001.toml
//   F2  the frame shown: apehost-frame-001.png

#include <string>
#include <vector>

#include "base/output_file.hpp"
#include "live/live_window.hpp"
#include "plugin/background.hpp"
#include "plugin/chain_plan.hpp"

namespace apehost {

inline constexpr const char* kPresetFilePrefix = "apehost-preset-";
inline constexpr const char* kPictureFilePrefix = "apehost-frame-";

// The series prefix + 001 + suffix, prefix + 002 + suffix, ... (at least three digits).
NumberedName numbered_save_name(const std::string& prefix, const std::string& suffix);

// Sets the window's S and F2 for a stack of these plug-ins (as they were named) drawn over this
// background.
void add_window_saves(LiveOptions& live, const std::vector<std::string>& plugins,
                      const Background& background);

}  // namespace apehost
