// A render interrupted half-way (SIGINT, SIGTERM) and outputs on a full disk (a file size limit, as
// ulimit -f sets, or /dev/full): the program says so in one line, the target is as it was (absent,
// or the old file), no temporary is left beside it, ffmpeg is stopped, and an interrupted program
// ends by its signal.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "host_test_support.hpp"
#include "media_test_support.hpp"
#include "required_tool.hpp"

namespace {

namespace fs = std::filesystem;
using hosttest::read_bytes;
using hosttest::run_apehost;

std::map<std::string, std::vector<std::uint8_t>> files_under(const std::string& dir) {
  std::map<std::string, std::vector<std::uint8_t>> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    files[entry.path().string()] =
        entry.is_regular_file() ? read_bytes(entry.path()) : std::vector<std::uint8_t>{};
  }
  return files;
}

// The temporaries apehost is writing under dir, and their bytes so far.
std::uintmax_t temporary_bytes(const std::string& dir, int* count = nullptr) {
  std::uintmax_t bytes = 0;
  int n = 0;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(dir, error)) {
    const std::string name = entry.path().filename().string();
    if (name.find(".apehost-") == std::string::npos) continue;
    ++n;
    bytes += entry.file_size(error);
  }
  if (count) *count = n;
  return bytes;
}

// Starts apehost, waits until ready() says it is half-way, and sends it the signal.
hosttest::RunResult interrupt(const std::vector<std::string>& args, int signal,
                              const std::function<bool()>& ready) {
  hosttest::RunningProgram program = hosttest::start_apehost(args);
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!ready() && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(ready()) << "the render never got half-way";
  program.send_signal(signal);
  return program.wait();
}

void expect_ended_by(const hosttest::RunResult& run, int signal, const std::string& name) {
  EXPECT_EQ(run.signal, signal) << run.err;
  EXPECT_EQ(run.err, "apehost: interrupted by " + name + "\n");
}

class CliInterrupt : public ::testing::Test {
 protected:
  void SetUp() override { hosttest::write_numbered_trace(trace_, 400); }
  // slowfx takes 10 ms a frame: 400 frames take four seconds.
  std::vector<std::string> render(std::vector<std::string> output) {
    std::vector<std::string> args = {"render", SLOWFX_MODULE, "--trace", trace_, "--size", "64x32"};
    args.insert(args.end(), output.begin(), output.end());
    return args;
  }
  hosttest::ScratchDir dir_;
  std::string trace_ = dir_ / "long.trace";
};

TEST_F(CliInterrupt, ARawRenderLeavesTheOldFileAndNoPartOfTheNew) {
  constexpr std::uintmax_t kFrameBytes = 64 * 32 * 4;
  for (const auto& [signal, name] :
       std::vector<std::pair<int, std::string>>{{SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}}) {
    SCOPED_TRACE(name);
    hosttest::write_bytes(dir_ / "out.raw", {'o', 'l', 'd'});
    const auto before = files_under(dir_ / "");
    const auto run = interrupt(render({"--raw", dir_ / "out.raw", "-y"}), signal,
                               [&] { return temporary_bytes(dir_ / "") >= 40 * kFrameBytes; });
    expect_ended_by(run, signal, name);
    EXPECT_TRUE(files_under(dir_ / "") == before) << "a file changed or was left";
  }
}

TEST_F(CliInterrupt, APngRenderLeavesNoFrameOfTheRun) {
  // Into a new directory: nothing of the run is left, the directory neither.
  int frames = 0;
  auto run = interrupt(render({"--png", dir_ / "new/f%03d.png"}), SIGINT, [&] {
    temporary_bytes(dir_ / "", &frames);
    return frames >= 30;
  });
  expect_ended_by(run, SIGINT, "SIGINT");
  EXPECT_FALSE(fs::exists(dir_ / "new"));

  // Over the frames of an earlier run: all of them as they were.
  fs::create_directories(dir_ / "old");
  for (const char* name : {"old/f000.png", "old/f001.png", "old/f250.png"})
    hosttest::write_bytes(dir_ / name, {'o', 'l', 'd'});
  const auto before = files_under(dir_ / "");
  run = interrupt(render({"--png", dir_ / "old/f%03d.png", "-y"}), SIGTERM, [&] {
    temporary_bytes(dir_ / "", &frames);
    return frames >= 30;
  });
  expect_ended_by(run, SIGTERM, "SIGTERM");
  EXPECT_TRUE(files_under(dir_ / "") == before) << "a frame file changed or was left";
}

TEST_F(CliInterrupt, AVideoRenderStopsFfmpegAndLeavesTheOldVideo) {
  // An encoder that writes what it reads and says who it is: it must be gone when apehost is.
  const std::string pid_file = dir_ / "encoder.pid";
  hosttest::write_script(dir_ / "encoder", "#!/bin/sh\necho $$ > \"" + pid_file +
                                               "\"\nfor last; do :; done\nexec cat > "
                                               "\"${last#file:}\"\n");
  hosttest::write_bytes(dir_ / "out.mp4", {'o', 'l', 'd'});
  const auto run = interrupt(render({"--ffmpeg", dir_ / "encoder", "-o", dir_ / "out.mp4", "-y"}),
                             SIGINT, [&] { return temporary_bytes(dir_ / "") >= 100000; });
  expect_ended_by(run, SIGINT, "SIGINT");
  EXPECT_EQ(read_bytes(dir_ / "out.mp4"), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(temporary_bytes(dir_ / ""), 0u);
  std::ifstream pid_in(pid_file);
  int encoder = 0;
  ASSERT_TRUE(pid_in >> encoder);
  EXPECT_EQ(kill(encoder, 0), -1) << "the encoder still runs";
  EXPECT_EQ(errno, ESRCH);
}

TEST_F(CliInterrupt, AVideoRenderWithTheRealFfmpegLeavesNoVideo) {
  REQUIRE_TOOL("ffmpeg");
  const auto run = interrupt(render({"-o", dir_ / "out.mp4"}), SIGINT,
                             [&] { return temporary_bytes(dir_ / "") > 0; });
  expect_ended_by(run, SIGINT, "SIGINT");
  EXPECT_EQ(hosttest::directory_names(dir_ / ""), std::vector<std::string>{"long.trace"});
}

// Runs apehost under a file size limit of one 512-byte block (what the messages need, and less
// than any output here): one line saying why, exit status 1, nothing changed.
void expect_full_disk(const std::vector<std::string>& args, const hosttest::ScratchDir& dir,
                      const std::vector<std::string>& parts) {
  hosttest::RunSetup limited;
  limited.wrapper = {"sh", "-c", "ulimit -f 1 && exec \"$0\" \"$@\""};
  const auto before = files_under(dir / "");
  const auto run = run_apehost(args, limited);
  std::string command;
  for (const auto& a : args) command += " " + a;
  EXPECT_EQ(run.status, 1) << command << "\n" << run.err;
  EXPECT_EQ(run.err.rfind("apehost: ", 0), 0u) << command << "\n" << run.err;
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << command << "\n" << run.err;
  for (const auto& part : parts)
    EXPECT_NE(run.err.find(part), std::string::npos) << command << "\n" << run.err;
  EXPECT_TRUE(files_under(dir / "") == before) << command << ": a file changed or was left";
}

TEST(CliFullDisk, EveryOutputFailsWithOneLineAndLeavesNothing) {
  hosttest::ScratchDir dir;
  const std::string trace = dir / "t.trace";
  hosttest::write_numbered_trace(trace, 3);
  hosttest::write_song(dir / "song.wav", 0.2);
  hosttest::write_bytes(dir / "old.raw", {'o', 'l', 'd'});
  const std::string too_large = "write failed (File too large)";
  expect_full_disk({"render", SLOWFX_MODULE, "--trace", trace, "--size", "64x32", "--raw",
                    dir / "old.raw", "-y"},
                   dir, {dir / "old.raw: " + too_large});
  // slowfx's frames do not compress: every PNG is larger than the limit.
  expect_full_disk({"render", SLOWFX_MODULE, "--trace", trace, "--size", "64x32", "--png",
                    dir / "frames/%d.png"},
                   dir, {too_large});
  expect_full_disk({"analyse", dir / "song.wav", "-o", dir / "song.trace"}, dir,
                   {dir / "song.trace: " + too_large});
  expect_full_disk({"trace-synth", "--frames", "10", "-o", dir / "synth.trace"}, dir,
                   {dir / "synth.trace: " + too_large});
  // A blob is smaller than any limit that lets the message out: a device that is always full.
  expect_full_disk({"settings", PROBEFX_MODULE, "-o", "/dev/full"}, dir,
                   {"/dev/full: write failed (No space left on device)"});
  expect_full_disk(
      {"render", PROBEFX_MODULE, "--trace", trace, "--size", "16x3", "--raw", "/dev/full"}, dir,
      {"/dev/full: write failed (No space left on device)"});
}

TEST(CliFullDisk, AVideoFailsWithWhatFfmpegSaidAndLeavesNothing) {
  REQUIRE_TOOL("ffmpeg");
  hosttest::ScratchDir dir;
  const std::string trace = dir / "t.trace";
  hosttest::write_numbered_trace(trace, 30);
  hosttest::write_bytes(dir / "old.mp4", {'o', 'l', 'd'});
  expect_full_disk(
      {"render", SLOWFX_MODULE, "--trace", trace, "--size", "64x32", "-o", dir / "old.mp4", "-y"},
      dir, {dir / "old.mp4: ffmpeg failed", "File too large"});
}

}  // namespace
