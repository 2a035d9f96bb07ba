// Bad input to the song, video, window and demo commands: exit status 2 and one line on standard
// error naming the file or option and the reason, and no video left behind by a refused render.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "host_test_support.hpp"
#include "media_test_support.hpp"

namespace {

using hosttest::run_apehost;
using hosttest::RunSetup;

void expect_refused(const std::vector<std::string>& args, const std::vector<std::string>& parts,
                    const RunSetup& setup = {}) {
  const auto run = run_apehost(args, setup);
  std::string command;
  for (const auto& a : args) command += " " + a;
  EXPECT_EQ(run.status, 2) << command << "\n" << run.err;
  ASSERT_FALSE(run.err.empty()) << command;
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << command << "\n" << run.err;
  EXPECT_EQ(run.err.rfind("apehost: ", 0), 0u) << run.err;
  for (const auto& part : parts)
    EXPECT_NE(run.err.find(part), std::string::npos) << command << "\n" << run.err;
}

// Windows that fail before they open: SDL's dummy video and audio drivers, no X server needed.
RunSetup dummy_sdl() {
  RunSetup setup;
  setup.environment = {{"SDL_VIDEODRIVER", "dummy"}, {"SDL_AUDIODRIVER", "dummy"}};
  return setup;
}

RunSetup no_display() {
  RunSetup setup;
  setup.environment = {{"DISPLAY", std::nullopt},
                       {"WAYLAND_DISPLAY", std::nullopt},
                       {"SDL_VIDEODRIVER", std::nullopt}};
  return setup;
}

class CliMediaErrors : public ::testing::Test {
 protected:
  void SetUp() override {
    hosttest::write_song(song_, 0.3);
    hosttest::write_bytes(text_, {'n', 'o', 't', ' ', 's', 'o', 'u', 'n', 'd', '\n'});
    hosttest::write_song(empty_, 0.0);
  }
  std::vector<std::string> render_video(std::vector<std::string> extra) {
    std::vector<std::string> args = {"render", PROBEFX_MODULE, "--audio", song_, "-o", video_};
    if (std::find(extra.begin(), extra.end(), "--size") == extra.end()) {
      extra.insert(extra.end(), {"--size", "16x8"});
    }
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }
  hosttest::ScratchDir dir_;
  std::string song_ = dir_ / "song.wav";
  std::string text_ = dir_ / "notes.txt";
  std::string empty_ = dir_ / "empty.wav";
  std::string missing_ = dir_ / "missing.wav";
  std::string video_ = dir_ / "out.mp4";
};

TEST_F(CliMediaErrors, SongsThatAreNotThere) {
  const std::string trace = dir_ / "t.trace";
  for (const auto& [file, reason] :
       std::vector<std::pair<std::string, std::string>>{{missing_, "no such file"},
                                                        {text_, "cannot read as sound"},
                                                        {empty_, "no sound"},
                                                        {dir_ / "", "not"}}) {
    expect_refused({"analyse", file, "-o", trace}, {file, reason});
    expect_refused({"render", PROBEFX_MODULE, "--audio", file, "--size", "16x8", "-o", video_},
                   {file, reason});
    // A folder is a playlist for play (its audio files in name order): not refused there.
    if (file == dir_ / "") continue;
    expect_refused({"play", PROBEFX_MODULE, "--audio", file, "--frames", "1"}, {file, reason},
                   dummy_sdl());
  }
  expect_refused({"analyse", song_, "-o", text_ + "/t.trace"}, {text_ + "/t.trace", "cannot"});
  EXPECT_FALSE(std::filesystem::exists(trace));
  EXPECT_FALSE(std::filesystem::exists(video_));
}

TEST_F(CliMediaErrors, ASongThatBreaksPartWayLeavesNoOutputBehind) {
  // Songs are decoded as the frames are written: this one fails 15 s in, long after the outputs
  // were begun. One line naming it, status 2, and nothing of the outputs left.
  const std::string broken = dir_ / "broken.flac";
  hosttest::write_broken_flac(broken, 30.0);
  const std::vector<std::string> before = hosttest::directory_names(dir_ / "");
  const std::vector<std::string> reason = {broken + ": decoding failed: "};
  expect_refused({"analyse", broken, "-o", dir_ / "t.trace"}, reason);
  expect_refused(
      {"render", PROBEFX_MODULE, "--audio", broken, "--size", "16x8", "--raw", dir_ / "out.raw"},
      reason);
  expect_refused({"render", PROBEFX_MODULE, "--audio", broken, "--size", "16x8", "--png",
                  dir_ / "frames/%04d.png"},
                 reason);
  expect_refused({"render", PROBEFX_MODULE, "--audio", broken, "--size", "16x8", "-o", video_},
                 reason);
  EXPECT_EQ(hosttest::directory_names(dir_ / ""), before) << "no output, no temporary";
}

TEST_F(CliMediaErrors, BadSizesAndFrameRates) {
  for (const char* size : {"161x120", "160x121", "1x1"}) {
    expect_refused(render_video({"--size", size}), {"--size", size, "even"});
    expect_refused({"demo", "--video", "--size", size, "-o", video_}, {"--size", size, "even"});
  }
  for (const char* size : {"0x8", "16x", "big"}) {
    expect_refused(render_video({"--size", size}), {"--size: '" + std::string(size) + "'"});
    expect_refused({"play", "--size", size, "--frames", "1"}, {"--size"}, dummy_sdl());
    expect_refused({"demo", "--size", size}, {"--size"}, no_display());
  }
  for (const char* fps : {"0", "1001", "-5", "ten"}) {
    expect_refused({"analyse", song_, "-o", dir_ / "t.trace", "--fps", fps}, {"--fps"});
    expect_refused(render_video({"--fps", fps}), {"--fps"});
    expect_refused({"play", "--fps", fps}, {"--fps"}, dummy_sdl());
    expect_refused({"demo", "--fps", fps}, {"--fps"}, no_display());
  }
  EXPECT_FALSE(std::filesystem::exists(video_));
}

TEST_F(CliMediaErrors, NoFfmpegSaysHowToInstallIt) {
  std::filesystem::create_directories(dir_ / "bin");
  RunSetup no_ffmpeg;
  no_ffmpeg.environment = {{"PATH", dir_ / "bin"}};
  expect_refused(render_video({}), {"ffmpeg", "sudo apt-get install ffmpeg"}, no_ffmpeg);
  RunSetup headless_no_ffmpeg = no_display();
  headless_no_ffmpeg.environment.push_back({"PATH", dir_ / "bin"});
  expect_refused({"demo", "-o", video_}, {"sudo apt-get install ffmpeg"}, headless_no_ffmpeg);
  expect_refused(render_video({"--ffmpeg", dir_ / "bin/ffmpeg"}),
                 {"--ffmpeg", dir_ / "bin/ffmpeg", "no such program"});
  EXPECT_FALSE(std::filesystem::exists(video_));
}

TEST_F(CliMediaErrors, OptionsThatDoNotFitTogether) {
  const std::string trace = dir_ / "t.trace";
  hosttest::write_numbered_trace(trace, 2);
  expect_refused({"render", PROBEFX_MODULE, "--trace", trace, "--fps", "30", "-o", video_},
                 {"--fps", "trace"});
  expect_refused({"render", PROBEFX_MODULE, "--trace", trace, "--audio", song_, "-o", video_},
                 {"--trace", "--audio"});
  expect_refused({"render", PROBEFX_MODULE, "-o", video_}, {"--audio", "--trace"});
  expect_refused({"render", PROBEFX_MODULE, "--audio", song_, "--raw", dir_ / "r", "-o", video_},
                 {"--raw"});
  expect_refused({"render", PROBEFX_MODULE, "--audio", song_, "--raw", dir_ / "r", "--crf", "20"},
                 {"--crf", "video"});
  expect_refused(render_video({"--crf", "52"}), {"--crf"});
  hosttest::write_bytes(dir_ / "s.blob", {1, 2, 3});
  expect_refused(render_video({"--settings", dir_ / "s.blob", dir_ / "s.blob"}),
                 {"--settings", "2 blobs for 1 plug-in"});
  for (const char* fade : {"0", "256", "x"})
    expect_refused(render_video({"--fade", fade}), {"--fade"});
  expect_refused(render_video({"--fade", "9", "--keep"}), {"--fade", "--keep"});
  expect_refused(render_video({"--fade", "9", "--background", "000000"}),
                 {"--fade", "--background"});
  expect_refused({"play", "--audio", song_, "--capture"}, {"--capture", "--audio"}, dummy_sdl());
  expect_refused({"play", "--audio-offset", "20000"}, {"--audio-offset"}, dummy_sdl());
  expect_refused({"demo", "--window", "--video"}, {"--window", "--video"});
  EXPECT_FALSE(std::filesystem::exists(video_));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "r"));
}

TEST_F(CliMediaErrors, EncoderSpeedsThatX264DoesNotHave) {
  for (const char* speed : {"fastest", "Medium", "", "placebo", "veryfast,", "6"}) {
    expect_refused(
        render_video({"--speed", speed}),
        {"--speed", "'" + std::string(speed) + "' is not an encoder speed",
         "ultrafast, superfast, veryfast, faster, fast, medium, slow, slower, veryslow"});
    expect_refused({"demo", "--video", "-o", video_, "--speed", speed},
                   {"--speed", "'" + std::string(speed) + "'"}, no_display());
  }
  expect_refused(
      {"render", PROBEFX_MODULE, "--audio", song_, "--raw", dir_ / "r", "--speed", "fast"},
      {"--speed", "only for video output"});
  EXPECT_FALSE(std::filesystem::exists(video_));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "r"));
}

TEST_F(CliMediaErrors, WindowsWithoutADisplayAndDevicesThatAreNotThere) {
  expect_refused({"play", "--frames", "1"}, {"play: cannot show a window", "no display"},
                 no_display());
  expect_refused({"demo", "--window"}, {"--window", "no display"}, no_display());
  expect_refused({"play", PROBEFX_MODULE, "--capture", "no such device", "--frames", "1"},
                 {"--capture", "'no such device' names no capture device"}, dummy_sdl());
  expect_refused({"play", PROBEFX_MODULE, "--capture", "7", "--frames", "1"},
                 {"--capture", "no capture device number 7"}, dummy_sdl());
  expect_refused({"play", dir_ / "nosuch.so", "--frames", "1"}, {"nosuch.so: no such file"},
                 dummy_sdl());
}

}  // namespace
