// apehost play as people keep it open, on X servers of the test's own with keys sent by xdotool:
// a playlist moved through with N and P past a song that will not decode, a song that breaks part
// way, S and F2 saving a preset and a picture, and --display on a desktop of two monitors.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "host_test_support.hpp"
#include "live_test_support.hpp"
#include "media_test_support.hpp"
#include "required_tool.hpp"

namespace {

using hosttest::RunningProgram;
using hosttest::XServer;

std::vector<std::string> lines_starting(const std::string& text, const std::string& start) {
  std::vector<std::string> found;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(start, 0) == 0) found.push_back(line.substr(start.size()));
  }
  return found;
}

std::string window_name(const XServer& x, const std::string& window) {
  const auto run = hosttest::xdotool(x, {"getwindowname", window});
  return run.out.substr(0, run.out.find('\n'));
}

class CliPlayer : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_TOOL("Xvfb");
    REQUIRE_TOOL("xdotool");
  }
  hosttest::ScratchDir dir_;
};

TEST_F(CliPlayer, APlaylistPlaysThroughWithNextAndPreviousPastASongThatWillNotDecode) {
  // Songs long enough that the window is found and the keys land in time on a loaded machine.
  hosttest::write_song(dir_ / "one.wav", 6.0);
  hosttest::write_bytes(dir_ / "two.wav", {'n', 'o', 't', ' ', 'a', ' ', 's', 'o', 'n', 'g'});
  hosttest::write_song(dir_ / "three.wav", 6.0);
  // The list as an .m3u in the folder, the way a player writes one.
  const std::string list = "#EXTM3U\n#EXTINF:2,One\none.wav\n#EXTINF:0,Two\ntwo.wav\nthree.wav\n";
  hosttest::write_bytes(dir_ / "list.m3u", std::vector<std::uint8_t>(list.begin(), list.end()));
  const XServer x = XServer::virtual_screen("640x480");
  RunningProgram play = hosttest::start_apehost(
      {"play", PROBEFX_MODULE, "--audio", dir_ / "list.m3u", "--size", "64x48"}, x.setup());
  const std::string window = hosttest::wait_for_window(x, "1/3 one.wav", 20);
  ASSERT_FALSE(window.empty()) << play.out_so_far();
  EXPECT_EQ(window_name(x, window), "1/3 one.wav - apehost: Render / Probe");

  hosttest::send_key(x, window, "n");
  ASSERT_TRUE(hosttest::wait_for_output(play, "playing 3/3 three.wav", 10)) << play.out_so_far();
  // The title follows at the window's next frame, a moment after the line.
  EXPECT_EQ(hosttest::wait_for_window(x, "^3/3 three.wav - ", 10), window)
      << window_name(x, window);
  hosttest::send_key(x, window, "p");
  ASSERT_TRUE(hosttest::wait_for_output(play, "3/3 three.wav\nplaying 1/3 one.wav", 10))
      << play.out_so_far();
  // Then the list plays to its end by itself: one.wav, then three.wav, then the window closes.
  ASSERT_TRUE(play.wait(60)) << play.out_so_far();
  const hosttest::RunResult run = play.result();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(
      lines_starting(run.out, "playing "),
      (std::vector<std::string>{"1/3 one.wav", "3/3 three.wav", "1/3 one.wav", "3/3 three.wav"}))
      << run.out;
  // The bad song: one line when it is first passed over, and never again.
  EXPECT_EQ(run.err.find(dir_ / "two.wav"), 9u) << run.err;
  EXPECT_NE(run.err.find("(skipped)\n"), std::string::npos) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_NE(run.out.find("on 4 songs of a list of 3"), std::string::npos) << run.out;
}

TEST_F(CliPlayer, ASongThatBreaksPartWayPlaysUpToTheBreak) {
  // Decoded as it plays, the song fails about a second in: alone, play ends with its one line and
  // status 2; in a list, it is said once and the next song plays.
  const XServer x = XServer::virtual_screen("800x600");
  const std::string broken = dir_ / "broken.flac";
  hosttest::write_broken_flac(broken, 2.0);
  hosttest::write_song(dir_ / "good.wav", 0.5);
  const auto alone = hosttest::run_apehost(
      {"play", PROBEFX_MODULE, "--audio", broken, "--size", "32x8"}, x.setup());
  EXPECT_EQ(alone.status, 2) << alone.err;
  EXPECT_EQ(alone.err.rfind("apehost: " + broken + ": decoding failed: ", 0), 0u) << alone.err;
  EXPECT_EQ(alone.err.find('\n'), alone.err.size() - 1) << alone.err;

  const auto listed = hosttest::run_apehost(
      {"play", PROBEFX_MODULE, "--audio", broken, dir_ / "good.wav", "--size", "32x8"}, x.setup());
  ASSERT_EQ(listed.status, 0) << listed.err;
  EXPECT_NE(listed.err.find("apehost: " + broken + ": decoding failed: "), std::string::npos)
      << listed.err;
  EXPECT_NE(listed.err.find("(the rest of the song skipped)"), std::string::npos) << listed.err;
  EXPECT_NE(listed.out.find("playing 2/2 good.wav"), std::string::npos) << listed.out;
}

TEST_F(CliPlayer, AListWithNothingPlayableEndsWithOneLine) {
  hosttest::write_bytes(dir_ / "a.wav", {'x'});
  hosttest::write_bytes(dir_ / "b.mp3", {'y'});
  const XServer x = XServer::virtual_screen("320x240");
  const auto run = hosttest::run_apehost(
      {"play", PROBEFX_MODULE, "--audio", dir_ / "", "--shuffle", "--repeat"}, x.setup());
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err.rfind("apehost: --audio: none of the 2 songs can be played (the first: ", 0),
            0u)
      << run.err;
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  const auto lonely = hosttest::run_apehost({"play", "--shuffle"}, x.setup());
  EXPECT_EQ(lonely.status, 2);
  EXPECT_EQ(lonely.err, "apehost: --shuffle: only for songs played with --audio\n");
}

#if defined(COILFX_MODULE) && defined(BLOBFX_MODULE)
TEST_F(CliPlayer, PresetsSavedWithSReopenToTheSameFramesAndF2SavesThePicture) {
  hosttest::write_song(dir_ / "song.wav", 30.0);
  const auto made = hosttest::run_apehost({"settings", COILFX_MODULE, "--colours", "ff8000,00ff80",
                                           "--on-beat", "-o", dir_ / "coil.blob"});
  ASSERT_EQ(made.status, 0) << made.err;
  const std::vector<std::string> stack = {COILFX_MODULE,      "blobfx", "--settings",
                                          dir_ / "coil.blob", "--fade", "24"};
  const XServer x = XServer::virtual_screen("640x480");
  hosttest::RunSetup setup = x.setup();
  setup.directory = dir_ / "";
  // A picture of an earlier session: F2 takes the next number and leaves it alone.
  const std::vector<std::uint8_t> earlier = {'k', 'e', 'e', 'p'};
  hosttest::write_bytes(dir_ / "apehost-frame-001.png", earlier);
  std::vector<std::string> args = {"play", "--audio", dir_ / "song.wav", "--size", "80x60"};
  args.insert(args.end(), stack.begin(), stack.end());
  RunningProgram play = hosttest::start_apehost(args, setup);
  const std::string window = hosttest::wait_for_window(x, "apehost", 20);
  ASSERT_FALSE(window.empty()) << play.out_so_far();

  hosttest::send_key(x, window, "s");
  ASSERT_TRUE(hosttest::wait_for_output(play, "saved the preset", 10)) << play.out_so_far();
  hosttest::send_key(x, window, "c");
  hosttest::send_key(x, window, "b");
  hosttest::send_key(x, window, "s");
  hosttest::send_key(x, window, "F2");
  ASSERT_TRUE(hosttest::wait_for_output(play, "saved the picture", 10)) << play.out_so_far();
  ASSERT_TRUE(hosttest::wait_for_output(play, "apehost-preset-002.toml", 10)) << play.out_so_far();
  hosttest::send_key(x, window, "q");
  ASSERT_TRUE(play.wait(20));
  const hosttest::RunResult run = play.result();
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string first = std::filesystem::canonical(dir_ / "apehost-preset-001.toml").string();
  EXPECT_NE(run.out.find("saved the preset to " + first + "\n"), std::string::npos) << run.out;

  // render --preset with the same ticks: the same bytes as the options play was started with.
  hosttest::write_numbered_trace(dir_ / "t.trace", 30);
  const auto render = [&](std::vector<std::string> how, const std::string& name) {
    std::vector<std::string> r = {"render"};
    r.insert(r.end(), how.begin(), how.end());
    r.insert(r.end(), {"--trace", dir_ / "t.trace", "--size", "64x40", "--ticks", "77", "-y",
                       "--raw", dir_ / name});
    const auto done = hosttest::run_apehost(r);
    EXPECT_EQ(done.status, 0) << done.err;
    return hosttest::read_bytes(dir_ / name);
  };
  const auto original = render(stack, "original.raw");
  EXPECT_EQ(render({"--preset", first}, "first.raw"), original);

  // The second holds the colours C drew (printed as they were drawn) and B's on-beat change: the
  // same frames as blobs made with those settings.
  const auto colours = lines_starting(run.out, "colours of effect ");
  ASSERT_EQ(colours.size(), 2u) << run.out;
  const auto on_beat = lines_starting(run.out, "on-beat colour change ");
  ASSERT_EQ(on_beat.size(), 1u) << run.out;
  const std::string flag = on_beat[0] == "on" ? "--on-beat" : "--no-on-beat";
  ASSERT_EQ(colours[0].rfind("1: ", 0), 0u);
  ASSERT_EQ(hosttest::run_apehost({"settings", COILFX_MODULE, "--from", dir_ / "coil.blob",
                                   "--colours", colours[0].substr(3), flag, "-o", dir_ / "1.blob"})
                .status,
            0);
  ASSERT_EQ(hosttest::run_apehost({"settings", "blobfx", "--colours", colours[1].substr(3), flag,
                                   "-o", dir_ / "2.blob"})
                .status,
            0);
  const auto changed = render(
      {COILFX_MODULE, "blobfx", "--settings", dir_ / "1.blob", dir_ / "2.blob", "--fade", "24"},
      "changed.raw");
  EXPECT_NE(changed, original);
  EXPECT_EQ(render({"--preset", dir_ / "apehost-preset-002.toml"}, "second.raw"), changed);

  // F2: the frame as shown, at the window's size.
  const hosttest::DecodedPng picture = hosttest::decode_png(dir_ / "apehost-frame-002.png");
  EXPECT_EQ(hosttest::read_bytes(dir_ / "apehost-frame-001.png"), earlier);
  EXPECT_EQ(picture.width, 80);
  EXPECT_EQ(picture.height, 60);
}
#endif

TEST_F(CliPlayer, DisplayOneOpensTheWindowOnTheSecondMonitor) {
  REQUIRE_TOOL("Xorg");
  REQUIRE_TOOL("xrandr");
  const XServer x = XServer::two_monitors(dir_ / "");
  const auto devices = hosttest::run_apehost({"devices"}, x.setup());
  ASSERT_EQ(devices.status, 0) << devices.err;
  EXPECT_NE(devices.out.find("screens (play --display NUMBER):\n  0: DUMMY0 800x600 at 0,0\n"
                             "  1: DUMMY1 640x480 at 800,0\n"),
            std::string::npos)
      << devices.out;

  RunningProgram play = hosttest::start_apehost(
      {"play", PROBEFX_MODULE, "--display", "1", "--size", "200x100"}, x.setup());
  const std::string window = hosttest::wait_for_window(x, "apehost", 20);
  ASSERT_FALSE(window.empty()) << play.out_so_far();
  const auto geometry = hosttest::xdotool(x, {"getwindowgeometry", "--shell", window});
  // Centred on the second monitor: x = 800 + (640 - 200) / 2, y = (480 - 100) / 2.
  EXPECT_NE(geometry.out.find("X=1020\nY=190\n"), std::string::npos) << geometry.out;
  hosttest::send_key(x, window, "q");
  ASSERT_TRUE(play.wait(20));
  EXPECT_EQ(play.result().status, 0) << play.result().err;

  // Full screen fills the monitor it is on.
  const auto full = hosttest::run_apehost(
      {"play", PROBEFX_MODULE, "--display", "1", "--fullscreen", "--frames", "6"}, x.setup());
  EXPECT_EQ(full.status, 0) << full.err;
  EXPECT_NE(full.out.find("played 6 frames of 640x480"), std::string::npos) << full.out;
  const auto none = hosttest::run_apehost({"play", "--display", "2", "--frames", "1"}, x.setup());
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.err,
            "apehost: --display: no screen 2; this display has 2 (0 (800x600), 1 (640x480))\n");
}

}  // namespace
