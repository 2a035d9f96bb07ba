#include "media/progress.hpp"

#include <unistd.h>

#include <cstdio>

namespace apehost {
namespace {

std::string clock_text(double seconds) {
  const auto whole = static_cast<std::uint64_t>(seconds + 0.5);
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu",
                  static_cast<unsigned long long>(whole / 3600),
                  static_cast<unsigned long long>(whole / 60 % 60),
                  static_cast<unsigned long long>(whole % 60));
  } else {
    std::snprintf(text, sizeof text, "%llu:%02llu", static_cast<unsigned long long>(whole / 60),
                  static_cast<unsigned long long>(whole % 60));
  }
  return text;
}

// "  R fps", and with the video's frame rate known, "  Nx real time".
std::string rate_text(double rate, int frames_per_second) {
  char text[64];
  std::snprintf(text, sizeof text, "  %.1f fps", rate);
  std::string line = text;
  if (frames_per_second > 0) {
    std::snprintf(text, sizeof text, "  %.2fx real time", rate / frames_per_second);
    line += text;
  }
  return line;
}

}  // namespace

std::string progress_line(std::uint64_t done, std::uint64_t total, double seconds,
                          int frames_per_second, int bar_width) {
  char text[96];
  if (total == kUnknownTotal) {
    std::snprintf(text, sizeof text, "%llu frames", static_cast<unsigned long long>(done));
    std::string line = text;
    if (done > 0 && seconds > 0.0) line += rate_text(double(done) / seconds, frames_per_second);
    return line;
  }
  const double fraction = total == 0 ? 1.0 : done >= total ? 1.0 : double(done) / double(total);
  const int filled = static_cast<int>(fraction * bar_width);
  std::string line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                     std::string(static_cast<std::size_t>(bar_width - filled), '.') + "] ";
  std::snprintf(text, sizeof text, "%3d%%  %llu/%llu frames", static_cast<int>(fraction * 100.0),
                static_cast<unsigned long long>(done), static_cast<unsigned long long>(total));
  line += text;
  if (done > 0 && seconds > 0.0) {
    const double rate = double(done) / seconds;
    line += rate_text(rate, frames_per_second);
    const double left = done >= total ? 0.0 : double(total - done) / rate;
    line += (done >= total ? "  took " + clock_text(seconds) : "  ETA " + clock_text(left));
  }
  return line;
}

ProgressMeter::ProgressMeter(std::uint64_t total, int frames_per_second)
    : total_(total),
      frames_per_second_(frames_per_second),
      shown_(isatty(STDERR_FILENO) == 1),
      start_(std::chrono::steady_clock::now()),
      last_draw_(start_) {}

ProgressMeter::~ProgressMeter() {
  // A render that stopped on an error leaves the bar's line ended, so the error starts afresh.
  if (shown_ && !finished_) std::fputc('\n', stderr);
}

void ProgressMeter::update(std::uint64_t done) {
  done_ = done;
  // Past an estimated total: from here on, the count alone.
  if (total_ != kUnknownTotal && done > total_) total_ = kUnknownTotal;
  if (!shown_) return;
  const auto now = std::chrono::steady_clock::now();
  if ((done < total_ || total_ == kUnknownTotal) &&
      now - last_draw_ < std::chrono::milliseconds(100))
    return;
  last_draw_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  std::fprintf(stderr, "\r%s\x1b[K",
               progress_line(done, total_, seconds, frames_per_second_, 30).c_str());
  std::fflush(stderr);
}

void ProgressMeter::finish() {
  if (finished_) return;
  finished_ = true;
  if (!shown_) return;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  std::fprintf(stderr, "\r%s\x1b[K\n",
               progress_line(done_, total_, seconds, frames_per_second_, 30).c_str());
  std::fflush(stderr);
}

}  // namespace apehost
