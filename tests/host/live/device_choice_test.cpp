// Choosing a capture device from what the user typed. The refusals name the device, not the option:
// tests/host/cli checks the message the command line makes of them.

#include "live/device_choice.hpp"

#include <gtest/gtest.h>

#include "base/host_error.hpp"

namespace {

using apehost::choose_capture_device;
using apehost::HostError;

const std::vector<std::string> kDevices = {"Built-in Audio Analog Stereo",
                                           "Monitor of Built-in Audio Analog Stereo",
                                           "USB Microphone", "12"};

std::string refusal(const std::string& wanted) {
  try {
    choose_capture_device(wanted, kDevices);
  } catch (const HostError& e) {
    EXPECT_EQ(e.exit_status(), apehost::kExitBadInput);
    return e.what();
  }
  ADD_FAILURE() << wanted << " was accepted";
  return "";
}

TEST(CaptureDevice, ByExactNameNumberOrUniquePart) {
  EXPECT_EQ(choose_capture_device("", kDevices), "");  // the default input
  EXPECT_EQ(choose_capture_device("USB Microphone", kDevices), "USB Microphone");
  EXPECT_EQ(choose_capture_device("1", kDevices), "Monitor of Built-in Audio Analog Stereo");
  EXPECT_EQ(choose_capture_device("0", kDevices), "Built-in Audio Analog Stereo");
  EXPECT_EQ(choose_capture_device("monitor", kDevices), "Monitor of Built-in Audio Analog Stereo");
  EXPECT_EQ(choose_capture_device("usb", kDevices), "USB Microphone");
  // A name wins over a number.
  EXPECT_EQ(choose_capture_device("12", kDevices), "12");
  EXPECT_EQ(choose_capture_device("Built-in Audio Analog Stereo", kDevices),
            "Built-in Audio Analog Stereo");
}

TEST(CaptureDevice, NoneOrSeveralMatchesAreRefusedWithTheChoices) {
  const std::string none = refusal("bluetooth");
  EXPECT_EQ(none.rfind("'bluetooth' names no capture device", 0), 0u) << none;
  EXPECT_NE(none.find("2 'USB Microphone'"), std::string::npos) << none;
  const std::string several = refusal("analog");
  EXPECT_NE(several.find("names several capture devices"), std::string::npos) << several;
  EXPECT_EQ(several.find("USB"), std::string::npos) << several;
  EXPECT_NE(refusal("4").find("no capture device number 4"), std::string::npos);
}

TEST(CaptureDevice, RefusalsSayWhatWasTypedButNameNoOption) {
  // Which option the device came from is for the command line to say.
  for (const char* wanted : {"bluetooth", "analog", "4", "--capture"}) {
    try {
      choose_capture_device(wanted, kDevices);
      ADD_FAILURE() << wanted << " was accepted";
    } catch (const HostError& e) {
      const std::string text = e.what();
      EXPECT_TRUE(e.subject().empty()) << e.subject();
      EXPECT_NE(text.find(wanted), std::string::npos) << text;
      EXPECT_EQ(text.find("--capture:"), std::string::npos) << text;
      EXPECT_EQ(text.rfind("--", 0), std::string::npos) << text;
    }
  }
}

}  // namespace
