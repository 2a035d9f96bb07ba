#include "live/device_choice.hpp"

#include <algorithm>
#include <cctype>

#include "base/host_error.hpp"

namespace apehost {
namespace {

// Device numbers are short: a longer run of digits is taken as part of a name.
constexpr std::size_t kMaxDeviceNumberDigits = 4;

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string quoted_list(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    text += (i ? ", " : "") + std::to_string(i) + " '" + names[i] + "'";
  }
  return text.empty() ? "none" : text;
}

}  // namespace

std::string choose_capture_device(const std::string& wanted,
                                  const std::vector<std::string>& names) {
  if (wanted.empty()) return "";
  for (const std::string& name : names) {
    if (name == wanted) return name;
  }
  if (wanted.size() <= kMaxDeviceNumberDigits &&
      std::all_of(wanted.begin(), wanted.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    const std::size_t index = std::stoul(wanted);
    if (index < names.size()) return names[index];
    throw bad_input(
        "", "no capture device number " + wanted + " (devices: " + quoted_list(names) + ")");
  }
  std::vector<std::string> matches;
  for (const std::string& name : names) {
    if (lower(name).find(lower(wanted)) != std::string::npos) matches.push_back(name);
  }
  if (matches.size() == 1) return matches.front();
  throw bad_input(
      "", "'" + wanted + "' " +
              (matches.empty() ? "names no capture device (devices: " + quoted_list(names) + ")"
                               : "names several capture devices (" + quoted_list(matches) + ")"));
}

}  // namespace apehost
