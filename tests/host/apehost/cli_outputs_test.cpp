// No command destroys a user's file. Every command that writes (render -o/--raw/--png, analyse,
// settings, trace-synth, preset save, play --save-trace, demo's video) refuses an output that is
// one of its inputs, by name or through a symbolic or hard link, even with -y; refuses an existing
// output without -y; and with -y replaces it. A refusal is one line naming both files or the file
// and the flag, exit status 2, and leaves every file in the directory exactly as it was.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "host_test_support.hpp"
#include "media_test_support.hpp"

namespace {

namespace fs = std::filesystem;
using hosttest::read_bytes;
using hosttest::run_apehost;

// Every file under dir: its inode and bytes, so that a file replaced by another with the same
// bytes shows as well.
std::map<std::string, std::pair<ino_t, std::vector<std::uint8_t>>> snapshot(
    const std::string& dir) {
  std::map<std::string, std::pair<ino_t, std::vector<std::uint8_t>>> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    struct stat info {};
    lstat(entry.path().c_str(), &info);
    files[entry.path().string()] = {info.st_ino, entry.is_regular_file() && !entry.is_symlink()
                                                     ? read_bytes(entry.path())
                                                     : std::vector<std::uint8_t>{}};
  }
  return files;
}

std::string joined(const std::vector<std::string>& args) {
  std::string command;
  for (const auto& a : args) command += " " + a;
  return command;
}

// Fake ffmpeg: reads the frames, then writes its last argument (a file: name) as ffmpeg would.
constexpr const char* kFakeFfmpeg =
    "#!/bin/sh\ncat > /dev/null\nfor last; do :; done\nprintf 'fake video' > \"${last#file:}\"\n";

class CliOutputs : public ::testing::Test {
 protected:
  void SetUp() override {
    hosttest::write_numbered_trace(trace_, 3);
    hosttest::write_bytes(blob_, {0x56, 0x34, 0x12, 0x00});
    hosttest::write_song(song_, 0.2);
    hosttest::write_script(ffmpeg_, kFakeFfmpeg);
    fs::copy_file(PROBEFX_MODULE, module_);  // a module of our own, to link to
  }

  // Runs apehost expecting a refusal with every one of parts in its one line, and no file of the
  // directory touched.
  void expect_refused(const std::vector<std::string>& args, const std::vector<std::string>& parts) {
    const auto before = snapshot(dir_ / "");
    const auto run = run_apehost(args);
    const std::string command = joined(args);
    EXPECT_EQ(run.status, 2) << command << "\n" << run.err;
    EXPECT_EQ(run.err.rfind("apehost: ", 0), 0u) << command << "\n" << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << command << "\n" << run.err;
    for (const auto& part : parts)
      EXPECT_NE(run.err.find(part), std::string::npos) << command << "\n" << run.err;
    EXPECT_TRUE(snapshot(dir_ / "") == before) << command << ": a file changed";
  }

  void expect_written(const std::vector<std::string>& args) {
    const auto run = run_apehost(args);
    EXPECT_EQ(run.status, 0) << joined(args) << "\n" << run.err;
  }

  // Each command that writes, with out as its output.
  std::vector<std::pair<std::string, std::vector<std::string>>> writers(const std::string& out) {
    return {
        {"render --raw",
         {"render", module_, "--trace", trace_, "--size", "16x3", "--settings", blob_, "--raw",
          out}},
        {"render -o",
         {"render", module_, "--audio", song_, "--size", "16x8", "--ffmpeg", ffmpeg_, "-o", out}},
        {"analyse", {"analyse", song_, "-o", out}},
        {"settings", {"settings", module_, "--from", blob_, "-o", out}},
        {"preset save", {"preset", "save", module_, "--settings", blob_, "--fade", "3", "-o", out}},
        {"trace-synth", {"trace-synth", "--frames", "2", "-o", out}},
    };
  }

  hosttest::ScratchDir dir_;
  std::string trace_ = dir_ / "song.trace";
  std::string blob_ = dir_ / "warm.blob";
  std::string song_ = dir_ / "song.wav";
  std::string ffmpeg_ = dir_ / "ffmpeg";
  std::string module_ = dir_ / "probe.so";
};

std::vector<std::string> with(std::vector<std::string> args, const std::string& extra) {
  args.push_back(extra);
  return args;
}

TEST_F(CliOutputs, AnInputIsNeverAnOutputByNameOrThroughALink) {
  // Each command's inputs as its output: by the same name, through a symbolic link and through a
  // hard link, with and without -y.
  struct Case {
    std::vector<std::string> args;  // the output last
    std::string input;
    std::string role;
  };
  const auto render = [&](std::vector<std::string> output) {
    std::vector<std::string> args = {"render", module_, "--trace",    trace_,
                                     "--size", "16x3",  "--settings", blob_};
    args.insert(args.end(), output.begin(), output.end());
    return args;
  };
  const std::vector<std::string> video = {"render", module_, "--audio",  song_,
                                          "--size", "16x8",  "--ffmpeg", ffmpeg_};
  // A preset and the files it names are inputs too.
  const std::string preset = dir_ / "stack.toml";
  expect_written({"preset", "save", module_, "-o", preset});
  const std::vector<std::string> play = {"play", module_, "--audio", song_, "--settings", blob_};
  std::vector<Case> cases = {
      {render({"--raw"}), trace_, "--trace"},
      {render({"--raw"}), blob_, "--settings"},
      {render({"--raw"}), module_, "the plug-in"},
      {with(video, "-o"), song_, "--audio"},
      {with(video, "-o"), ffmpeg_, "--ffmpeg"},
      {{"analyse", song_, "-o"}, song_, "the song"},
      {{"settings", module_, "--from", blob_, "-o"}, blob_, "--from"},
      {{"settings", module_, "-o"}, module_, "the plug-in"},
      {{"render", "--preset", preset, "--trace", trace_, "--size", "16x3", "--raw"},
       preset,
       "--preset"},
      {{"render", "--preset", preset, "--trace", trace_, "--size", "16x3", "--raw"},
       module_,
       "the plug-in"},
      {{"preset", "save", module_, "--settings", blob_, "-o"}, blob_, "--settings"},
      {{"preset", "save", module_, "-o"}, module_, "the plug-in"},
      {with(play, "--save-trace"), song_, "--audio"},
      {with(play, "--save-trace"), blob_, "--settings"},
  };
  int links = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.role + " " + c.input);
    const std::string symbolic = dir_ / ("symbolic" + std::to_string(links));
    const std::string hard = dir_ / ("hard" + std::to_string(links++));
    fs::create_symlink(c.input, symbolic);
    fs::create_hard_link(c.input, hard);
    for (const std::string& output : {c.input, symbolic, hard}) {
      for (const bool overwrite : {false, true}) {
        auto args = with(c.args, output);
        if (overwrite) args.push_back("-y");
        expect_refused(args, {output + " is the same file as " + c.role + " " + c.input});
      }
    }
  }
}

TEST_F(CliOutputs, AFrameFileOfThePatternIsNeverAnInput) {
  // The run's frame 1 is the trace itself; the frame 2 name links to the settings blob.
  const std::string trace = dir_ / "f1.trace";
  fs::copy_file(trace_, trace);
  expect_refused(
      {"render", module_, "--trace", trace, "--size", "16x3", "--png", dir_ / "f%d.trace", "-y"},
      {"--png: " + trace + " is the same file as --trace " + trace});
  fs::create_symlink(blob_, dir_ / "g2.png");
  expect_refused({"render", module_, "--trace", trace_, "--size", "16x3", "--settings", blob_,
                  "--png", dir_ / "g%d.png", "-y"},
                 {dir_ / "g2.png is the same file as --settings " + blob_});
  EXPECT_FALSE(fs::exists(dir_ / "g0.png"));
}

TEST_F(CliOutputs, AnExistingOutputIsReplacedOnlyWithY) {
  for (const auto& [name, args] : writers(dir_ / "existing")) {
    SCOPED_TRACE(name);
    hosttest::write_bytes(dir_ / "existing", {'k', 'e', 'e', 'p'});
    expect_refused(args, {dir_ / "existing already exists", "-y (--overwrite)"});
    expect_written(with(args, "-y"));
    expect_written(with(args, "--overwrite"));  // again: the replacement is replaced in turn
    const auto written = read_bytes(dir_ / "existing");
    EXPECT_NE(written, (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_FALSE(written.empty());
    // Nothing else was left beside it.
    EXPECT_EQ(hosttest::directory_names(dir_ / "").size(), 6u);
  }
  // What came out is what each command writes.
  const std::vector<std::uint8_t> raw = read_bytes(dir_ / "existing");
  EXPECT_EQ(std::string(raw.begin(), raw.begin() + 8), "APETRACE");  // trace-synth, last

  // play's trace is refused before any window opens (its writing is the window tests' part).
  expect_refused({"play", module_, "--audio", song_, "--save-trace", dir_ / "existing"},
                 {dir_ / "existing already exists", "-y (--overwrite)"});
}

TEST_F(CliOutputs, APatternIsRefusedWhenAnyFrameFileOfTheRunExists) {
  const std::vector<std::string> args = {"render", module_, "--trace", trace_,
                                         "--size", "16x3",  "--png",   dir_ / "frames/f%02d.png"};
  fs::create_directories(dir_ / "frames");
  hosttest::write_bytes(dir_ / "frames/f05.png", {'l', 'a', 't', 'e', 'r'});  // not this run's
  expect_written(args);
  // Frames 0 to 2 exist now: refused before the first frame, naming the first and the flag.
  expect_refused(args, {"--png: " + dir_ / "frames/f00.png" +
                        " already exists (and 2 more of this run's 3 frame files); give -y "
                        "(--overwrite) to replace them"});
  fs::remove(dir_ / "frames/f00.png");
  fs::remove(dir_ / "frames/f02.png");
  expect_refused(args,
                 {dir_ / "frames/f01.png already exists; give -y (--overwrite) to replace it"});
  expect_written(with(args, "-y"));
  EXPECT_EQ(hosttest::decode_png(dir_ / "frames/f00.png").width, 16);
  EXPECT_EQ(hosttest::directory_names(dir_ / "frames"),
            (std::vector<std::string>{"f00.png", "f01.png", "f02.png", "f05.png"}));
  EXPECT_EQ(read_bytes(dir_ / "frames/f05.png"),
            (std::vector<std::uint8_t>{'l', 'a', 't', 'e', 'r'}));
}

TEST_F(CliOutputs, DevicesNeedNoYAndDirectoriesAndEmptyNamesAreNoOutput) {
  expect_written({"render", module_, "--trace", trace_, "--size", "16x3", "--raw", "/dev/null"});
  expect_written({"trace-synth", "--frames", "2", "-o", "/dev/null"});
  fs::create_directories(dir_ / "out");
  for (const auto& [name, args] : writers(dir_ / "out")) {
    SCOPED_TRACE(name);
    expect_refused(with(args, "-y"), {dir_ / "out is a directory"});
    auto unnamed = args;
    unnamed.back() = "";
    expect_refused(unnamed, {": an empty file name"});
  }
}

TEST_F(CliOutputs, TheDemosOwnVideoNameNeverReplacesAFile) {
  hosttest::RunSetup here;
  here.directory = dir_ / "";
  hosttest::write_bytes(dir_ / "demo.mp4", {'o', 'l', 'd'});
  const std::vector<std::string> demo = {"demo",   "--video", "--frames", "2",
                                         "--size", "16x8",    "--ffmpeg", ffmpeg_};
  for (const char* name : {"demo-2.mp4", "demo-3.mp4"}) {
    const auto run = run_apehost(demo, here);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("demo: wrote " + fs::canonical(dir_ / name).string()), std::string::npos)
        << run.out;
    const auto video = read_bytes(dir_ / name);
    EXPECT_EQ(std::string(video.begin(), video.end()), "fake video");
  }
  EXPECT_EQ(read_bytes(dir_ / "demo.mp4"), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  // A name given with -o is the user's: the same rules as every output.
  expect_refused(with(with(demo, "-o"), dir_ / "demo.mp4"),
                 {dir_ / "demo.mp4 already exists", "-y"});
  expect_refused(with(with(with(demo, "-o"), ffmpeg_), "-y"),
                 {ffmpeg_ + " is the same file as --ffmpeg " + ffmpeg_});
  expect_written(with(with(with(demo, "-o"), dir_ / "demo.mp4"), "-y"));
  const auto replaced = read_bytes(dir_ / "demo.mp4");
  EXPECT_EQ(std::string(replaced.begin(), replaced.end()), "fake video");
}

}  // namespace
