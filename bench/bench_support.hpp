#pragma once
// Shared pieces of the benchmarks: the frame sizes, the song trace, a host-like frame and the
// snapshots of the blob's per-frame state that let a stage run again on exactly the input it had.

#include <benchmark/benchmark.h>

#include <time.h>

#include <cstdint>
#include <string>
#include <vector>

#include "blobfx/blob_effect.hpp"
#include "song_trace.hpp"

namespace apebench {

struct FrameSize {
  int width;
  int height;
};

inline constexpr FrameSize kFrameSizes[] = {
    {320, 240}, {640, 480}, {1280, 720}, {1920, 1080}, {3840, 2160},
};

inline std::string size_name(const FrameSize& s) {
  return std::to_string(s.width) + "x" + std::to_string(s.height);
}

const std::vector<SoundFrame>& song();

// A host's frame: a dark gradient, as if an earlier effect had drawn it.
std::vector<std::uint32_t> host_frame(const FrameSize& size);

// This thread's processor time in seconds: the stages are timed on the same clock as Google
// Benchmark's CPU time, so that a busy machine's other work stays out of both.
inline double thread_seconds() noexcept {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Everything build_surface, shade_mesh and draw_mesh read from the effect, as it stood just before
// build_surface in one frame of the song.
struct BlobFrameState {
  std::int32_t frame_count;
  std::int32_t beat_flag;
  std::int32_t band_level[3];
  double colour_position;
  render3d::Vec3 light1_phase;
  render3d::Vec3 light2_phase;
  render3d::Vec3 ball_centre[blobfx::kBallCount];
  std::int32_t orbit_radius[blobfx::kBallCount];
  double spin[blobfx::kSpinAngles];
  double spin_rate[blobfx::kSpinAngles];
  double spread;
};

BlobFrameState capture(const blobfx::BlobEffect& effect);
void restore(blobfx::BlobEffect& effect, const BlobFrameState& state);

// The blob's state before build_surface in every `stride`-th frame of the song, after `warm_up`
// frames (played from a fresh effect with the benchmarks' fixed seed).
std::vector<BlobFrameState> blob_song_states(int warm_up, int stride);

}  // namespace apebench
