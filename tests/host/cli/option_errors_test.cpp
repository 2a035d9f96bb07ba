// The command line puts the option in front of what a lower layer said: the device a --capture
// argument matched none of, as the user sees it.

#include "cli/option_errors.hpp"

#include <gtest/gtest.h>

#include "base/host_error.hpp"
#include "live/device_choice.hpp"

namespace {

using apehost::about_option;
using apehost::HostError;

const std::vector<std::string> kDevices = {
    "Built-in Audio Analog Stereo", "Monitor of Built-in Audio Analog Stereo", "USB Microphone"};

// What the lower layer says, and what the command line says of the same refusal.
std::pair<std::string, std::string> both_messages(const std::string& wanted) {
  std::string lower;
  try {
    apehost::choose_capture_device(wanted, kDevices);
  } catch (const HostError& e) {
    lower = e.what();
  }
  try {
    about_option("--capture", [&] { return apehost::choose_capture_device(wanted, kDevices); });
  } catch (const HostError& e) {
    EXPECT_EQ(e.exit_status(), apehost::kExitBadInput);
    EXPECT_EQ(e.subject(), "--capture");
    return {lower, e.what()};
  }
  ADD_FAILURE() << wanted << " was accepted";
  return {lower, ""};
}

TEST(OptionErrors, ACaptureDeviceRefusalNamesTheOptionOnlyAtTheCommandLine) {
  const auto [lower, shown] = both_messages("bluetooth");
  EXPECT_EQ(lower.find("--capture"), std::string::npos) << lower;
  EXPECT_EQ(shown.rfind("--capture: 'bluetooth' names no capture device", 0), 0u) << shown;
  EXPECT_EQ(shown, "--capture: " + lower);
  EXPECT_EQ(both_messages("7").second.rfind("--capture: no capture device number 7", 0), 0u);
  EXPECT_EQ(both_messages("audio").second.rfind("--capture: 'audio' names several", 0), 0u);
}

TEST(OptionErrors, WhatTheStepReturnsPassesThroughAndOtherErrorsAreLeftAlone) {
  EXPECT_EQ(
      about_option("--capture", [] { return apehost::choose_capture_device("usb", kDevices); }),
      "USB Microphone");
  // A failure (exit status 1) keeps its status under the option.
  try {
    about_option("--raw", [] { throw apehost::failure("out.raw", "write failed"); });
    ADD_FAILURE();
  } catch (const HostError& e) {
    EXPECT_EQ(std::string(e.what()), "--raw: out.raw: write failed");
    EXPECT_EQ(e.exit_status(), apehost::kExitFailure);
  }
  EXPECT_THROW(about_option("--raw", [] { throw std::runtime_error("not ours"); }),
               std::runtime_error);
}

}  // namespace
