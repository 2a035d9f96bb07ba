// The video path without encoding anything: ffmpeg's command line, the size rule, finding the
// program, a failing encoder, and the progress line.

#include "video_encoder.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "host_error.hpp"
#include "host_test_support.hpp"
#include "progress.hpp"

namespace {

using apehost::HostError;

// The value that follows flag in args ("" when absent).
std::string after(const std::vector<std::string>& args, const std::string& flag) {
  const auto it = std::find(args.begin(), args.end(), flag);
  return it == args.end() || it + 1 == args.end() ? "" : *(it + 1);
}

bool has(const std::vector<std::string>& args, const std::string& word) {
  return std::find(args.begin(), args.end(), word) != args.end();
}

apehost::VideoSettings settings_with_audio() {
  apehost::VideoSettings s;
  s.ffmpeg = "/opt/ffmpeg";
  s.output = "-out.mp4";
  s.width = 320;
  s.height = 180;
  s.frames_per_second = 25;
  s.crf = 23;
  s.audio_wav = "/tmp/x/sound.wav";
  return s;
}

TEST(FfmpegArguments, RawFramesInH264AndAacOut) {
  const auto args = apehost::ffmpeg_arguments(settings_with_audio());
  EXPECT_EQ(args.front(), "/opt/ffmpeg");
  // The input is read as RawFrameSink writes: bgr0 words of the given size and rate.
  EXPECT_EQ(after(args, "-f"), "rawvideo");
  EXPECT_EQ(after(args, "-pixel_format"), "bgr0");
  EXPECT_EQ(after(args, "-video_size"), "320x180");
  EXPECT_EQ(after(args, "-framerate"), "25");
  EXPECT_EQ(after(args, "-r"), "25");
  EXPECT_EQ(after(args, "-c:v"), "libx264");
  EXPECT_EQ(after(args, "-crf"), "23");
  EXPECT_EQ(after(args, "-pix_fmt"), "yuv420p");
  EXPECT_EQ(after(args, "-vsync"), "cfr");
  EXPECT_EQ(after(args, "-c:a"), "aac");
  EXPECT_EQ(after(args, "-movflags"), "+faststart");
  EXPECT_TRUE(has(args, "-shortest"));
  EXPECT_TRUE(has(args, "1:a:0"));
  // Files as file: names, so a leading '-' or a colon is never read as an option or protocol.
  EXPECT_TRUE(has(args, "file:/tmp/x/sound.wav"));
  EXPECT_EQ(args.back(), "file:-out.mp4");
  // The frames come first, the sound second.
  const auto frames = std::find(args.begin(), args.end(), "pipe:0");
  const auto sound = std::find(args.begin(), args.end(), "file:/tmp/x/sound.wav");
  EXPECT_LT(frames, sound);
}

TEST(FfmpegArguments, WithoutSoundNoAudioStreamAndNoShortest) {
  auto s = settings_with_audio();
  s.audio_wav.clear();
  const auto args = apehost::ffmpeg_arguments(s);
  EXPECT_FALSE(has(args, "-shortest"));
  EXPECT_FALSE(has(args, "-c:a"));
  EXPECT_FALSE(has(args, "1:a:0"));
  EXPECT_EQ(std::count(args.begin(), args.end(), "-i"), 1);
}

TEST(VideoSize, OddSidesAreRefusedWithAnEvenSuggestion) {
  EXPECT_NO_THROW(apehost::check_video_size("--size", 160, 120));
  for (const auto& [w, h, suggestion] : std::vector<std::tuple<int, int, std::string>>{
           {161, 120, "162x120"}, {160, 121, "160x122"}, {1, 1, "2x2"}}) {
    try {
      apehost::check_video_size("--size", w, h);
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

// Replaces PATH for one test.
class PathOverride {
 public:
  explicit PathOverride(const std::string& path) {
    const char* old = std::getenv("PATH");
    had_ = old != nullptr;
    if (old) old_ = old;
    setenv("PATH", path.c_str(), 1);
  }
  ~PathOverride() {
    if (had_)
      setenv("PATH", old_.c_str(), 1);
    else
      unsetenv("PATH");
  }

 private:
  bool had_ = false;
  std::string old_;
};

void write_script(const std::string& path, const std::string& body) {
  hosttest::write_bytes(path, std::vector<std::uint8_t>(body.begin(), body.end()));
  chmod(path.c_str(), 0755);
}

TEST(FindFfmpeg, OnPathOrGivenOrAClearErrorSayingHowToInstallIt) {
  hosttest::ScratchDir dir;
  std::filesystem::create_directories(dir / "bin");
  std::filesystem::create_directories(dir / "empty");
  write_script(dir / "bin/ffmpeg", "#!/bin/sh\nexit 0\n");
  hosttest::write_bytes(dir / "empty/ffmpeg", {'n', 'o'});  // not executable: skipped
  {
    PathOverride path(dir / "empty" + ":" + dir / "bin");
    EXPECT_EQ(apehost::find_ffmpeg(""), dir / "bin/ffmpeg");
  }
  {
    PathOverride path(dir / "empty");
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
  }
}

TEST(VideoFrameSink, AFailingEncoderIsReportedWithWhatItSaidAndLeavesNoFile) {
  hosttest::ScratchDir dir;
  // Reads one frame's worth, complains and fails, like ffmpeg refusing its input.
  write_script(dir / "fake-ffmpeg",
               "#!/bin/sh\nhead -c 64 >/dev/null\necho 'first line' >&2\n"
               "echo 'Unknown encoder libx264' >&2\nexit 3\n");
  apehost::VideoSettings s;
  s.ffmpeg = dir / "fake-ffmpeg";
  s.output = dir / "out.mp4";
  s.width = 4;
  s.height = 4;
  s.frames_per_second = 30;
  const std::vector<std::uint32_t> frame(16, 0x00112233);
  try {
    apehost::VideoFrameSink sink(s);
    for (int i = 0; i < 4; ++i) sink.write(static_cast<std::uint64_t>(i), frame.data(), 4, 4);
    sink.finish();
    ADD_FAILURE() << "the failure went unnoticed";
  } catch (const HostError& e) {
    EXPECT_EQ(e.exit_status(), apehost::kExitFailure);
    EXPECT_EQ(std::string(e.what()),
              s.output + ": ffmpeg failed (exit status 3): Unknown encoder libx264");
  }
  EXPECT_FALSE(std::filesystem::exists(s.output));
}

TEST(VideoFrameSink, TheFramesReachTheEncoderAsLittleEndianWords) {
  hosttest::ScratchDir dir;
  write_script(dir / "fake-ffmpeg", "#!/bin/sh\ncat > \"" + dir / "frames.raw" + "\"\n");
  apehost::VideoSettings s;
  s.ffmpeg = dir / "fake-ffmpeg";
  s.output = dir / "out.mp4";
  s.width = 2;
  s.height = 2;
  s.frames_per_second = 30;
  const std::uint32_t frame[4] = {0x00102030, 0x00405060, 0x00708090, 0x00A0B0C0};
  apehost::VideoFrameSink sink(s);
  sink.write(0, frame, 2, 2);
  sink.finish();
  EXPECT_EQ(hosttest::read_bytes(dir / "frames.raw"),
            (std::vector<std::uint8_t>{0x30, 0x20, 0x10, 0, 0x60, 0x50, 0x40, 0, 0x90, 0x80, 0x70,
                                       0, 0xC0, 0xB0, 0xA0, 0}));
}

TEST(VideoFrameSink, AnOutputThatCannotBeCreatedIsRefusedBeforeEncoding) {
  hosttest::ScratchDir dir;
  apehost::VideoSettings s;
  s.ffmpeg = "/bin/true";
  s.output = dir / "no/such/dir/out.mp4";
  s.width = 2;
  s.height = 2;
  s.frames_per_second = 30;
  try {
    apehost::VideoFrameSink sink(s);
    ADD_FAILURE();
  } catch (const HostError& e) {
    EXPECT_EQ(e.exit_status(), apehost::kExitBadInput);
    EXPECT_EQ(std::string(e.what()).rfind(s.output + ": cannot create", 0), 0u) << e.what();
  }
}

TEST(ProgressLine, FramesRateAndTimeLeft) {
  EXPECT_EQ(apehost::progress_line(0, 900, 0.0, 10), "[..........]   0%  0/900 frames");
  EXPECT_EQ(apehost::progress_line(300, 900, 10.0, 10),
            "[###.......]  33%  300/900 frames  30.0 fps  ETA 0:20");
  EXPECT_EQ(apehost::progress_line(900, 900, 75.0, 10),
            "[##########] 100%  900/900 frames  12.0 fps  took 1:15");
  EXPECT_EQ(apehost::progress_line(1, 100000, 1.0, 4),
            "[....]   0%  1/100000 frames  1.0 fps  ETA 27:46:39");
}

}  // namespace
