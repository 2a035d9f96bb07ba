// The video path without encoding anything: ffmpeg's command line, the size rule, finding a
// program, a failing or dead encoder (and no SIGPIPE from it), and the progress line.

#include "media/video_encoder.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "base/host_error.hpp"
#include "host_test_support.hpp"
#include "media/progress.hpp"

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
  EXPECT_EQ(after(args, "-preset"), apehost::kDefaultEncoderSpeed);
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

TEST(FfmpegArguments, TheSpeedIsX264sPreset) {
  auto s = settings_with_audio();
  for (std::string_view speed : apehost::kEncoderSpeeds) {
    EXPECT_TRUE(apehost::is_encoder_speed(speed)) << speed;
    s.speed = speed;
    const auto args = apehost::ffmpeg_arguments(s);
    EXPECT_EQ(after(args, "-preset"), speed);
    EXPECT_EQ(std::count(args.begin(), args.end(), "-preset"), 1);
  }
  EXPECT_TRUE(apehost::is_encoder_speed(apehost::kDefaultEncoderSpeed));
  for (const char* other : {"", "placebo", "Fast", "fast ", "medium\n"})
    EXPECT_FALSE(apehost::is_encoder_speed(other)) << other;
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
  EXPECT_NO_THROW(apehost::check_video_size(160, 120));
  for (const auto& [w, h, suggestion] : std::vector<std::tuple<int, int, std::string>>{
           {161, 120, "162x120"}, {160, 121, "160x122"}, {1, 1, "2x2"}}) {
    try {
      apehost::check_video_size(w, h);
      ADD_FAILURE() << w << "x" << h << " was accepted";
    } catch (const HostError& e) {
      EXPECT_EQ(e.exit_status(), apehost::kExitBadInput);
      const std::string text = e.what();
      // The size first; the option it came from is the command line's to add.
      EXPECT_EQ(text.rfind(std::to_string(w) + "x" + std::to_string(h) + " has an odd side", 0), 0u)
          << text;
      EXPECT_NE(text.find("even"), std::string::npos) << text;
      EXPECT_NE(text.find(suggestion), std::string::npos) << text;
    }
  }
}

TEST(FindProgram, ANameOnPathOrAnExecutablePath) {
  hosttest::ScratchDir dir;
  std::filesystem::create_directories(dir / "bin");
  std::filesystem::create_directories(dir / "empty");
  hosttest::write_script(dir / "bin/encoder", "#!/bin/sh\nexit 0\n");
  hosttest::write_bytes(dir / "empty/encoder", {'n', 'o'});  // not executable: skipped
  hosttest::PathOverride path(dir / "empty" + "::" + dir / "bin");
  EXPECT_EQ(apehost::find_program("encoder"), dir / "bin/encoder");
  EXPECT_EQ(apehost::find_program(dir / "bin/encoder"), dir / "bin/encoder");
  EXPECT_EQ(apehost::find_program("missing"), "");
  EXPECT_EQ(apehost::find_program(dir / "empty/encoder"), "");
  EXPECT_EQ(apehost::find_program(dir / "bin"), "") << "a directory is no program";
}

TEST(VideoFrameSink, AFailingEncoderIsReportedWithWhatItSaidAndLeavesNoFile) {
  hosttest::ScratchDir dir;
  // Reads one frame's worth, complains and fails, like ffmpeg refusing its input.
  hosttest::write_script(dir / "fake-ffmpeg",
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
  hosttest::write_script(dir / "fake-ffmpeg", "#!/bin/sh\ncat > \"" + dir / "frames.raw" + "\"\n");
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

TEST(VideoFrameSink, TheEncoderWritesATemporaryThatBecomesTheVideoOnlyWhenItSucceeded) {
  hosttest::ScratchDir dir;
  // Writes its output (the last argument) like ffmpeg, then, as ffmpeg does when the disk fills up
  // while it finishes the file, complains and exits with 0 all the same.
  hosttest::write_script(dir / "full-disk-ffmpeg",
                         "#!/bin/sh\ncat > /dev/null\nfor last; do :; done\n"
                         "echo \"$last\" > \"" +
                             dir / "named" +
                             "\"\n"
                             "printf 'half a video' > \"${last#file:}\"\n"
                             "echo \"Error closing file $last: No space left on device\" >&2\n");
  apehost::VideoSettings s;
  s.ffmpeg = dir / "full-disk-ffmpeg";
  s.output = dir / "out.mp4";
  s.existing = apehost::Existing::replace;
  s.width = 2;
  s.height = 2;
  s.frames_per_second = 30;
  hosttest::write_bytes(s.output, {'o', 'l', 'd'});
  const std::uint32_t frame[4] = {};
  try {
    apehost::VideoFrameSink sink(s);
    sink.write(0, frame, 2, 2);
    sink.finish();
    ADD_FAILURE() << "the failure went unnoticed";
  } catch (const HostError& e) {
    EXPECT_EQ(e.exit_status(), apehost::kExitFailure);
    // Said of the output, not of the temporary.
    EXPECT_EQ(std::string(e.what()), s.output + ": ffmpeg failed: Error closing file " + s.output +
                                         ": No space left on device");
  }
  // ffmpeg was given a hidden temporary beside the output, with its extension.
  const auto named = hosttest::read_bytes(dir / "named");
  const std::string temporary(named.begin(), named.end() - 1);
  EXPECT_EQ(temporary.rfind("file:" + dir / ".out.apehost-", 0), 0u) << temporary;
  EXPECT_EQ(temporary.substr(temporary.size() - 4), ".mp4") << temporary;
  EXPECT_FALSE(std::filesystem::exists(temporary.substr(5)));
  EXPECT_EQ(hosttest::read_bytes(s.output), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
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

// An encoder that quits at once without reading its input, like an ffmpeg refusing its arguments:
// the frames then go to a socket nobody reads.
apehost::VideoSettings quitting_encoder(const hosttest::ScratchDir& dir) {
  hosttest::write_script(dir / "quitter", "#!/bin/sh\necho 'Invalid argument' >&2\nexit 1\n");
  apehost::VideoSettings s;
  s.ffmpeg = dir / "quitter";
  s.output = dir / "out.mp4";
  // Frames of a megabyte: more than the socket holds, so a write meets the closed end.
  s.width = 512;
  s.height = 512;
  s.frames_per_second = 30;
  return s;
}

// Writes frames until the sink reports the encoder's failure; that report.
std::string write_until_refused(const apehost::VideoSettings& s) {
  const std::vector<std::uint32_t> frame(static_cast<std::size_t>(s.width) * s.height, 0x00123456);
  try {
    apehost::VideoFrameSink sink(s);
    for (std::uint64_t i = 0; i < 64; ++i) sink.write(i, frame.data(), s.width, s.height);
    sink.finish();
  } catch (const HostError& e) {
    return e.what();
  }
  return "";
}

volatile sig_atomic_t g_broken_pipes = 0;
void count_broken_pipe(int) { g_broken_pipes = g_broken_pipes + 1; }

TEST(VideoFrameSink, ADeadEncoderIsAFailedWriteAndRaisesNoSignal) {
  hosttest::ScratchDir dir;
  const apehost::VideoSettings s = quitting_encoder(dir);
  struct sigaction counting {};
  counting.sa_handler = count_broken_pipe;
  sigemptyset(&counting.sa_mask);
  struct sigaction saved {};
  ASSERT_EQ(sigaction(SIGPIPE, &counting, &saved), 0);
  g_broken_pipes = 0;

  const std::string said = write_until_refused(s);

  struct sigaction after {};
  sigaction(SIGPIPE, nullptr, &after);
  sigaction(SIGPIPE, &saved, nullptr);
  EXPECT_EQ(said, s.output + ": ffmpeg failed (exit status 1): Invalid argument");
  EXPECT_EQ(g_broken_pipes, 0) << "a SIGPIPE was raised";
  // The process's handling of SIGPIPE is its own: the sink leaves it as it was.
  EXPECT_EQ(after.sa_handler, count_broken_pipe);
  EXPECT_FALSE(std::filesystem::exists(s.output));
}

TEST(VideoFrameSinkDeathTest, ADeadEncoderDoesNotEndTheProgram) {
  hosttest::ScratchDir dir;
  const apehost::VideoSettings s = quitting_encoder(dir);
  const std::string expected = s.output + ": ffmpeg failed (exit status 1): Invalid argument";
  // With SIGPIPE's default action, which ends the process, as a program starts with it. _exit: the
  // child leaves the parent's temporary files alone.
  EXPECT_EXIT(
      {
        signal(SIGPIPE, SIG_DFL);
        const bool reported = write_until_refused(s) == expected;
        struct sigaction after {};
        sigaction(SIGPIPE, nullptr, &after);
        _exit(reported && after.sa_handler == SIG_DFL ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(ProgressLine, FramesRateSpeedAndTimeLeft) {
  EXPECT_EQ(apehost::progress_line(0, 900, 0.0, 30, 10), "[..........]   0%  0/900 frames");
  EXPECT_EQ(apehost::progress_line(300, 900, 10.0, 30, 10),
            "[###.......]  33%  300/900 frames  30.0 fps  1.00x real time  ETA 0:20");
  EXPECT_EQ(apehost::progress_line(900, 900, 75.0, 60, 10),
            "[##########] 100%  900/900 frames  12.0 fps  0.20x real time  took 1:15");
  EXPECT_EQ(apehost::progress_line(1, 100000, 1.0, 60, 4),
            "[....]   0%  1/100000 frames  1.0 fps  0.02x real time  ETA 27:46:39");
  // Faster than real time: 2,700 frames of a 60 frames a second song in 20 s.
  EXPECT_EQ(apehost::progress_line(2700, 5400, 20.0, 60, 4),
            "[##..]  50%  2700/5400 frames  135.0 fps  2.25x real time  ETA 0:20");
  // Without a frame rate, no multiple.
  EXPECT_EQ(apehost::progress_line(300, 900, 10.0, 0, 10),
            "[###.......]  33%  300/900 frames  30.0 fps  ETA 0:20");
}

}  // namespace
