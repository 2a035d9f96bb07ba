// Interruption while writing: a watched signal is noted instead of ending the program, the writers
// stop at their next check leaving every target as it was, and the program then ends by the same
// signal. Each case runs in a child (death tests): signals and the noted one are the process's.

#include "base/interruption.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "base/file_io.hpp"
#include "base/output_file.hpp"

namespace {

using apehost::Existing;
using apehost::OutputFile;

std::string text_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t entries_in(const std::string& dir) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

bool handler_is(int signal, void (*handler)(int)) {
  struct sigaction now {};
  sigaction(signal, nullptr, &now);
  return now.sa_handler == handler;
}

TEST(InterruptionDeathTest, ASignalWhileWritingLeavesTheTargetAndEndsTheProgramAfterwards) {
  apehost::TemporaryDirectory dir;
  const std::string target = dir.path("out.raw");
  std::ofstream(target) << "old";
  EXPECT_EXIT(
      {
        signal(SIGINT, SIG_DFL);
        bool ok = true;
        {
          OutputFile file(target, Existing::replace);
          file.write("new", 3);
          raise(SIGINT);  // noted, not the end
          ok = ok && apehost::interrupting_signal() == SIGINT;
          try {
            file.commit();
            ok = false;
          } catch (const apehost::Interrupted& e) {
            ok = ok && e.signal() == SIGINT && e.exit_status() == 128 + SIGINT &&
                 std::string(e.what()) == "interrupted by SIGINT";
          }
        }
        ok = ok && text_of(target) == "old" && entries_in(dir.path("")) == 1;
        // With no watch left, the signal's own action is back.
        ok = ok && handler_is(SIGINT, SIG_DFL);
        if (!ok) _exit(1);
        apehost::end_by_signal(SIGINT);
      },
      ::testing::KilledBySignal(SIGINT), "");
}

TEST(InterruptionDeathTest, NoFileOfAGroupIsPutInPlaceOnceASignalCame) {
  apehost::TemporaryDirectory dir;
  EXPECT_EXIT(
      {
        std::vector<OutputFile> frames;
        for (const char* name : {"0.png", "1.png"}) {
          frames.emplace_back(dir.path(name), Existing::refuse);
          frames.back().write(name, 5);
        }
        raise(SIGTERM);
        bool stopped = false;
        try {
          OutputFile::commit_all(frames);
        } catch (const apehost::Interrupted& e) {
          stopped = e.signal() == SIGTERM;
        }
        frames.clear();
        _exit(stopped && entries_in(dir.path("")) == 0 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(InterruptionDeathTest, WithoutAWatchASignalEndsTheProgramAtOnce) {
  EXPECT_EXIT(
      {
        signal(SIGTERM, SIG_DFL);
        { apehost::InterruptionWatch watch; }
        raise(SIGTERM);
        _exit(0);
      },
      ::testing::KilledBySignal(SIGTERM), "");
}

TEST(InterruptionDeathTest, AnIgnoredSignalStaysIgnored) {
  EXPECT_EXIT(
      {
        signal(SIGHUP, SIG_IGN);  // as nohup leaves it
        apehost::InterruptionWatch watch;
        raise(SIGHUP);
        _exit(apehost::interrupting_signal() == 0 && handler_is(SIGHUP, SIG_IGN) ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

volatile sig_atomic_t g_handled = 0;
void library_handler(int) { g_handled = g_handled + 1; }

TEST(InterruptionDeathTest, AHandlerThatWasThereGetsTheSignalWhenTheWatchEnds) {
  EXPECT_EXIT(
      {
        signal(SIGINT, library_handler);  // as SDL installs one to quit its window
        {
          apehost::InterruptionWatch watch;
          raise(SIGINT);
          if (g_handled != 0) _exit(1);
        }
        const bool delivered = g_handled == 1 && apehost::interrupting_signal() == 0;
        _exit(delivered && handler_is(SIGINT, library_handler) ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
