// The video options: finding the ffmpeg program (--ffmpeg or PATH) and refusing an odd --size.

#include "cli/video_options.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "base/host_error.hpp"
#include "host_test_support.hpp"

namespace {

using apehost::HostError;

TEST(FindFfmpeg, OnPathOrGivenOrAClearErrorSayingHowToInstallIt) {
  hosttest::ScratchDir dir;
  std::filesystem::create_directories(dir / "bin");
  std::filesystem::create_directories(dir / "empty");
  hosttest::write_script(dir / "bin/ffmpeg", "#!/bin/sh\nexit 0\n");
  hosttest::write_bytes(dir / "empty/ffmpeg", {'n', 'o'});  // not executable: skipped
  {
    hosttest::PathOverride path(dir / "empty" + ":" + dir / "bin");
    EXPECT_EQ(apehost::find_ffmpeg(""), dir / "bin/ffmpeg");
  }
  {
    hosttest::PathOverride path(dir / "empty");
    try {
      apehost::find_ffmpeg("");
      ADD_FAILURE() << "found an ffmpeg that is not there";
    } catch (const HostError& e) {
      EXPECT_EQ(e.exit_status(), apehost::kExitBadInput);
      EXPECT_NE(std::string(e.what()).find("sudo apt-get install ffmpeg"), std::string::npos)
          << e.what();
    }
    EXPECT_EQ(apehost::find_ffmpeg(dir / "bin/ffmpeg"), dir / "bin/ffmpeg");
    EXPECT_THROW(apehost::find_ffmpeg(dir / "bin/missing"), HostError);
    EXPECT_THROW(apehost::find_ffmpeg(dir / "empty/ffmpeg"), HostError);
    try {
      apehost::find_ffmpeg("ffmpeg");
      ADD_FAILURE() << "found an ffmpeg that is not there";
    } catch (const HostError& e) {
      EXPECT_EQ(std::string(e.what()), "--ffmpeg: ffmpeg: no such program");
    }
  }
}

TEST(VideoFrameSize, OddSidesAreRefusedNamingSize) {
  EXPECT_NO_THROW(apehost::check_video_frame_size({160, 120}));
  for (const auto& [w, h, suggestion] : std::vector<std::tuple<int, int, std::string>>{
           {161, 120, "162x120"}, {160, 121, "160x122"}, {1, 1, "2x2"}}) {
    try {
      apehost::check_video_frame_size({w, h});
      ADD_FAILURE() << w << "x" << h << " was accepted";
    } catch (const HostError& e) {
      EXPECT_EQ(e.exit_status(), apehost::kExitBadInput);
      const std::string text = e.what();
      EXPECT_EQ(text.rfind("--size: " + std::to_string(w) + "x" + std::to_string(h), 0), 0u);
      EXPECT_NE(text.find("even"), std::string::npos) << text;
      EXPECT_NE(text.find(suggestion), std::string::npos) << text;
    }
  }
}

}  // namespace
