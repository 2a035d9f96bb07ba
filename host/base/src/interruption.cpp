#include "base/interruption.hpp"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>

namespace apehost {
namespace {

constexpr int kWatchedSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kWatchedCount = sizeof kWatchedSignals / sizeof kWatchedSignals[0];

volatile sig_atomic_t g_noted = 0;

struct Watching {
  std::mutex mutex;
  int watches = 0;
  struct sigaction previous[kWatchedCount] = {};
  bool installed[kWatchedCount] = {};
};

Watching& watching() {
  static Watching state;
  return state;
}

extern "C" void note_signal(int signal) {
  if (g_noted == 0) g_noted = signal;
}

void start_watching(Watching& w) {
  for (int i = 0; i < kWatchedCount; ++i) {
    struct sigaction noting {};
    noting.sa_handler = note_signal;
    sigemptyset(&noting.sa_mask);
    for (const int other : kWatchedSignals) sigaddset(&noting.sa_mask, other);
    // No SA_RESTART: a blocking wait (for ffmpeg, or to send it a frame) returns EINTR, so the
    // waiting loop gets to its check at once.
    noting.sa_flags = 0;
    struct sigaction previous {};
    sigaction(kWatchedSignals[i], nullptr, &previous);
    w.installed[i] = previous.sa_handler != SIG_IGN;
    if (w.installed[i]) sigaction(kWatchedSignals[i], &noting, &w.previous[i]);
  }
}

void stop_watching(Watching& w) {
  for (int i = 0; i < kWatchedCount; ++i) {
    if (w.installed[i]) sigaction(kWatchedSignals[i], &w.previous[i], nullptr);
  }
  // A signal noted for a handler someone else had installed before (a library's) goes to it now,
  // as if it had come a moment later. One whose action is to end the program stays noted, for
  // main to end it.
  const int noted = g_noted;
  for (int i = 0; i < kWatchedCount; ++i) {
    const auto handler = w.previous[i].sa_handler;
    if (w.installed[i] && kWatchedSignals[i] == noted && handler != SIG_DFL && handler != SIG_IGN) {
      g_noted = 0;
      raise(noted);
    }
  }
}

void add_watch() {
  Watching& w = watching();
  const std::lock_guard<std::mutex> lock(w.mutex);
  if (w.watches++ == 0) start_watching(w);
}

std::string signal_name(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "signal " + std::to_string(signal);
  }
}

}  // namespace

InterruptionWatch::InterruptionWatch() { add_watch(); }

InterruptionWatch::InterruptionWatch(const InterruptionWatch&) { add_watch(); }

InterruptionWatch::~InterruptionWatch() {
  Watching& w = watching();
  const std::lock_guard<std::mutex> lock(w.mutex);
  if (--w.watches == 0) stop_watching(w);
}

int interrupting_signal() noexcept { return g_noted; }

Interrupted::Interrupted(int signal)
    : HostError("interrupted by " + signal_name(signal), 128 + signal), signal_(signal) {}

void stop_if_interrupted() {
  const int noted = g_noted;
  if (noted != 0) throw Interrupted(noted);
}

void end_by_signal(int signal) {
  std::fflush(nullptr);
  struct sigaction ending {};
  ending.sa_handler = SIG_DFL;
  sigemptyset(&ending.sa_mask);
  sigaction(signal, &ending, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  raise(signal);
  _exit(128 + signal);  // a signal whose default action does not end the program
}

}  // namespace apehost
