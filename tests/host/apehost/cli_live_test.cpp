// apehost play and demo: a window on a virtual X server of the test's own (Xvfb) with SDL's dummy
// audio driver, and the demo's video where there is no display.
//
// The windowed runs go without LeakSanitizer in sanitizer builds: run_apehost turns it off for
// every apehost it starts (see there why; the X and audio client libraries SDL loads keep
// allocations until the process ends as well).

#include <gtest/gtest.h>

#include <filesystem>

#include "host_test_support.hpp"
#include "live_test_support.hpp"
#include "media_test_support.hpp"
#include "required_tool.hpp"

namespace {

using hosttest::run_apehost;
using hosttest::RunSetup;

// No display at all.
RunSetup headless() {
  RunSetup setup;
  setup.environment = {{"DISPLAY", std::nullopt},
                       {"WAYLAND_DISPLAY", std::nullopt},
                       {"SDL_VIDEODRIVER", std::nullopt},
                       {"SDL_AUDIODRIVER", "dummy"}};
  return setup;
}

// A window on a virtual display of the test's own (started and stopped by the fixture), sound into
// SDL's dummy device (which takes it at the real rate).
class CliLive : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_TOOL("Xvfb");
    x_ = std::make_unique<hosttest::XServer>(hosttest::XServer::virtual_screen("800x600"));
  }
  RunSetup under_xvfb() const { return x_->setup(); }
  std::unique_ptr<hosttest::XServer> x_;
  hosttest::ScratchDir dir_;
};

TEST_F(CliLive, PlayShowsAStackOnASongForTheFramesAsked) {
  hosttest::write_song(dir_ / "song.wav", 2.0);
  hosttest::write_bytes(dir_ / "s.blob", {0x56, 0x34, 0x12, 0x00});
  std::vector<std::string> args = {"play", PROBEFX_MODULE};
#ifdef COILFX_MODULE
  args.push_back(COILFX_MODULE);
#endif
  for (const std::string& a : std::vector<std::string>{
           "--settings", dir_ / "s.blob", "--audio", dir_ / "song.wav", "--size", "200x150",
           "--fade", "20", "--frames", "24", "--ticks", "11"})
    args.push_back(a);
  const auto run = run_apehost(args, under_xvfb());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("keys: F full screen"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("played 24 frames of 200x150 at 60 frames per second with Render / Probe"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("(tick count 11) on " + dir_ / "song.wav"), std::string::npos) << run.out;
}

TEST_F(CliLive, PlayWithoutArgumentsShowsTheDemoTrackUntilItEnds) {
  // The demo's effects on the demo track; a short song ends the window by itself.
  const auto demo = run_apehost({"play", "--frames", "10", "--size", "96x64"}, under_xvfb());
  ASSERT_EQ(demo.status, 0) << demo.err;
  EXPECT_NE(demo.out.find("played 10 frames of 96x64"), std::string::npos) << demo.out;
  EXPECT_NE(demo.out.find("Render / Blobform 3D + Render / Coilform 3D"), std::string::npos)
      << demo.out;
  EXPECT_NE(demo.out.find("on the demo track"), std::string::npos) << demo.out;

  hosttest::write_song(dir_ / "short.wav", 0.4);
  const auto song = run_apehost(
      {"play", PROBEFX_MODULE, "--audio", dir_ / "short.wav", "--size", "32x8", "--fps", "20"},
      under_xvfb());
  ASSERT_EQ(song.status, 0) << song.err;
  // 0.4 s at 20 frames per second, clocked by the device: about 8 frames, however fast we draw.
  const auto at = song.out.find("played ");
  ASSERT_NE(at, std::string::npos) << song.out;
  const int frames = std::stoi(song.out.substr(at + 7));
  EXPECT_GE(frames, 4) << song.out;
  EXPECT_LE(frames, 30) << song.out;
}

TEST_F(CliLive, TheFramesFollowTheWindowToFullScreen) {
  // The virtual screen is 800x600: full screen, the effects get frames of that size.
  const auto run = run_apehost(
      {"play", PROBEFX_MODULE, "--fullscreen", "--size", "200x150", "--frames", "8"}, under_xvfb());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("played 8 frames of 800x600"), std::string::npos) << run.out;
}

TEST_F(CliLive, DemoShowsAWindowWhereThereIsADisplay) {
  const auto run = run_apehost({"demo", "--frames", "12", "--size", "160x120"}, under_xvfb());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("demo: showed 12 frames of 160x120 in a window with Render / Blobform 3D "
                         "+ Render / Coilform 3D"),
            std::string::npos)
      << run.out;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "demo.mp4"));
}

TEST(CliDemo, WithoutADisplayTheDemoIsRenderedToDemoMp4AndSaysWhere) {
  REQUIRE_TOOL("ffprobe");
  hosttest::ScratchDir dir;
  RunSetup setup = headless();
  setup.directory = dir / "";
  const auto run = run_apehost({"demo", "--frames", "12", "--size", "160x120"}, setup);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string video = std::filesystem::canonical(dir / "demo.mp4").string();
  EXPECT_NE(run.out.find("demo: wrote " + video + " (12 frames of 160x120"), std::string::npos)
      << run.out;
  const auto streams = hosttest::probe_streams(video);
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_EQ(streams[0].at("codec_name"), "h264");
  EXPECT_EQ(streams[0].at("nb_frames"), "12");
  EXPECT_EQ(streams[0].at("width"), "160");
  EXPECT_EQ(streams[1].at("codec_name"), "aac");

  // Both effects show from the first frame on: not black.
  const hosttest::DecodedPng first = hosttest::video_frame(video, 0, dir / "f0.png");
  std::size_t lit = 0;
  for (std::uint32_t p : first.pixels) {
    lit += (p >> 16 & 0xFF) + (p >> 8 & 0xFF) + (p & 0xFF) > 120;
  }
  EXPECT_GT(lit, 160u * 120u / 50) << "the first frame is (nearly) black";
}

}  // namespace
