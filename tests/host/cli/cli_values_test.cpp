// Command-line values: frame sizes and colours, accepted and refused.

#include "cli/cli_values.hpp"

#include <gtest/gtest.h>

#include "base/host_error.hpp"

namespace {

using apehost::HostError;

TEST(FrameSizeValue, ParsesWidthThenHeight) {
  const apehost::FrameSize size = apehost::parse_frame_size("--size", "320x240");
  EXPECT_EQ(size.width, 320);
  EXPECT_EQ(size.height, 240);
  EXPECT_EQ(apehost::parse_frame_size("--size", "1x16384").height, 16384);
  EXPECT_EQ(apehost::parse_frame_size("--size", "16384x1").width, 16384);
}

TEST(FrameSizeValue, RefusesZeroOversizeAndMalformed) {
  for (const char* bad :
       {"0x240", "320x0", "16385x2", "2x16385", "320X240", "320", "x240", "320x", "+320x240",
        "320x-2", " 320x240", "320x240x2", "3.5x4", "99999999x1", ""}) {
    try {
      apehost::parse_frame_size("--size", bad);
      ADD_FAILURE() << bad << " was accepted";
    } catch (const HostError& e) {
      EXPECT_EQ(e.exit_status(), apehost::kExitBadInput);
      EXPECT_EQ(std::string(e.what()).rfind("--size: '" + std::string(bad) + "'", 0), 0u)
          << e.what();
    }
  }
}

TEST(ColourValue, ReadsRedGreenBlueInThatOrder) {
  EXPECT_EQ(apehost::parse_colour("--background", "123456"), 0x00123456u);
  EXPECT_EQ(apehost::parse_colour("--background", "0xA0b0C0"), 0x00A0B0C0u);
  EXPECT_EQ(apehost::parse_colour("--background", "#ff0001"), 0x00FF0001u);
  EXPECT_EQ(apehost::parse_colour("--background", "0X000000"), 0u);
}

TEST(ColourValue, RefusesAnythingButSixHexDigits) {
  for (const char* bad :
       {"", "fff", "12345", "1234567", "0x1234567", "gg0000", "#", "0x", "12 456", "-12345"}) {
    EXPECT_THROW(apehost::parse_colour("--background", bad), HostError) << bad;
  }
}

TEST(ColourList, SplitsOnCommasAndRefusesEmptyEntries) {
  EXPECT_EQ(apehost::parse_colour_list("--colours", "ff0000,00ff00,0000ff"),
            (std::vector<std::uint32_t>{0xFF0000u, 0x00FF00u, 0x0000FFu}));
  EXPECT_EQ(apehost::parse_colour_list("--colours", "abcdef"),
            (std::vector<std::uint32_t>{0xABCDEFu}));
  for (const char* bad : {"ff0000,", ",ff0000", "ff0000,,00ff00", ""}) {
    EXPECT_THROW(apehost::parse_colour_list("--colours", bad), HostError) << bad;
  }
}

}  // namespace
