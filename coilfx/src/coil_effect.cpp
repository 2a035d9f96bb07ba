// The Coilform frame driver: construction, the per-frame animation (clock, colour, sway, beat kick,
// zoom, sound bands, rotation, light drift) and the hand-over to trails, arms, shading and drawing.

#include "coilfx/coil_effect.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "apefw/ape_abi.h"
#include "apefw/colour_cycler.hpp"
#include "apefw/platform.hpp"
#include "apefw/random.hpp"
#include "apefw/settings_panel.hpp"
#include "render3d/geometry.hpp"
#include "render3d/shading.hpp"
#include "render3d/sound_bands.hpp"
#include "render3d/trig.hpp"

namespace coilfx {
namespace {

namespace trig = render3d::trig;

// The clock advances zoom x 10 + 1 per frame, truncated: 11 at rest, 12 while a kick's zoom is
// above 1.1, so the whole animation runs a little faster after a kick.
constexpr double kClockPerZoom = 10.0;
constexpr double kClockBaseStep = 1.0;

// Each frame the sway keeps this much of itself and moves this much toward its target: a glide of
// a few frames whenever a kick flips a target.
constexpr double kSwayKeep = 0.7;
constexpr double kSwayPull = 0.3;

// The zoom rests at 1. A kick sets it to 1.2; every frame it relaxes to zoom x 0.9 + 0.1, back
// toward rest. The pull is written as 0.1 rather than 1 - 0.9, which as a double is not the same.
constexpr double kRestZoom = 1.0;
constexpr double kKickZoom = 1.2;
constexpr double kZoomKeep = 0.9;
constexpr double kZoomPull = 0.1;

// A kick moves each light phase on by one of 100 random steps of 0.2 radians.
constexpr int kKickPhaseSteps = 100;
constexpr double kKickPhaseStep = 0.2;

// A start angle is a random draw times 100: anywhere in 0..3,276,700 radians, that is anywhere.
constexpr double kStartPhaseScale = 100.0;

// How fast each rotation angle turns, radians per frame before the sway's sign: a slow clock wave
// between 0 and base_rate, plus the band's rising trend times trend_rate.
struct AngleDrive {
  double clock_rate;  // of the wave's sine, per clock tick
  double base_rate;   // the wave's peak
  double trend_rate;  // per unit of the band's positive trend
};
// Per unit of a band's rising trend: the bass turns its angle harder than the other two bands.
constexpr double kBassTrendRate = 0.000305;
constexpr double kTrendRate = 0.0002;
constexpr AngleDrive kAngleDrive[kRotationAngles] = {
    {0.001, 0.0361, kBassTrendRate},  // angle 0 follows the bass
    {0.00171, 0.032, kTrendRate},     // angle 1 follows the middle band
    {0.001213, 0.033, kTrendRate},    // angle 2 follows the treble
};
// Angle 0 alone also turns with the bass level itself, not only with its trend.
constexpr double kBassLevelRate = 0.0002;

// No angle turns by more than this per frame, however loud the music.
constexpr double kMaxRotationStep = 0.15;

// sin(t x rate) moved from -1..1 onto 0..1.
double unit_wave(double t, double rate) noexcept { return trig::sin(t * rate) * 0.5 + 0.5; }

// +1.0 for an odd draw, -1.0 for an even one.
double random_sign() noexcept { return static_cast<double>(2 * (apefw::random15() & 1) - 1); }

// A start phase angle.
double random_phase() noexcept { return static_cast<double>(apefw::random15()) * kStartPhaseScale; }

// A kick's step of a light phase.
double kick_phase_step() noexcept {
  return static_cast<double>(apefw::random15() % kKickPhaseSteps) * kKickPhaseStep;
}

// n records with every byte zero, padding included (value-initialisation need not clear padding),
// or null when there is no memory.
template <class T>
T* zeroed_array(std::size_t n) noexcept {
  T* records = new (std::nothrow) T[n];
  if (records) std::memset(static_cast<void*>(records), 0, n * sizeof(T));
  return records;
}

}  // namespace

CoilEffect::CoilEffect() noexcept {
  // The part every effect shares: the seed, the default settings; the own state is already zero
  // (the member initializers), so every buffer starts absent.
  apefw::seed_random(apefw::millisecond_ticks());
  apefw::reset_settings(settings);

  vertex_count = kVertexCapacity;
  vertices.reset(zeroed_array<MeshVertex>(kVertexCapacity));
  face_count = kFaceCapacity;
  faces.reset(zeroed_array<MeshFace>(kFaceCapacity));
  trail_count = kTrailRecords;
  trails.reset(zeroed_array<MeshVertex>(kTrailRecords));

  // The order of these draws is part of what the effect draws.
  rotation[0] = random_phase();
  rotation[1] = random_phase();
  rotation[2] = random_phase();
  light1_phase.x = random_phase();
  light1_phase.y = random_phase();
  light1_phase.z = random_phase();
  light2_phase.x = random_phase();
  light2_phase.y = random_phase();
  light2_phase.z = random_phase();
  zoom = kRestZoom;
  colour_position = 0.0;
  sway_target[0] = random_sign();
  sway_target[1] = random_sign();
  sway_target[2] = random_sign();
}

CoilEffect::~CoilEffect() {
  // A panel left open must not edit this object once it is gone.
  apefw::forget_settings_panel(*this);
  depth_buffer.release();
  vertices.reset();
  faces.reset();
  trails.reset();
}

bool CoilEffect::construction_complete() const noexcept { return vertices && faces && trails; }

void* CoilEffect::create_settings_panel(void* instance, void* parent) {
  return apefw::open_settings_panel(*this, settings, instance, parent);
}

const char* CoilEffect::describe() { return kLongDescription; }

void CoilEffect::load_settings(const std::uint8_t* data, int length) {
  apefw::load_settings_blob(settings, data, length);
}

int CoilEffect::save_settings(std::uint8_t* buffer) {
  return apefw::save_settings_blob(settings, buffer);
}

int CoilEffect::render_frame(const std::uint8_t* sound, int beat, std::uint32_t* framebuffer,
                             std::uint32_t* output_framebuffer, int width, int height) {
  (void)output_framebuffer;  // the picture is drawn in place
  // A host that lends no sound data gets the picture of silence.
  static constexpr std::uint8_t kSilence[APE_SOUND_BYTES] = {};
  if (!sound) sound = kSilence;

  // Clock: 11 per frame at rest, 12 while a kick's zoom is above 1.1. zoom stays within 1..1.2,
  // so the truncation is in range; the sum wraps in unsigned arithmetic.
  const auto clock_step = static_cast<std::int32_t>(zoom * kClockPerZoom + kClockBaseStep);
  clock = static_cast<std::int32_t>(static_cast<std::uint32_t>(clock) +
                                    static_cast<std::uint32_t>(clock_step));

  // Colour: only the per-frame step here; the beat jump follows with the beat. advance_colour here
  // instead would come to the same, since nothing in between draws a random number or touches the
  // position, but the split keeps the colour jump's draw visibly ahead of the kick's draws.
  apefw::ColourCycler colours(settings, colour_position);
  colours.step();

  // Sway glides toward its targets.
  for (int k = 0; k < kRotationAngles; ++k) {
    sway[k] = sway[k] * kSwayKeep + sway_target[k] * kSwayPull;
  }

  // Beat: the colour jump, and a kick on the first, third, fifth ... beat.
  if (beat) {
    beat_count += 1;
    colours.beat_jump();
    if (beat_count & 1) {
      sway_target[0] = random_sign();
      sway_target[1] = random_sign();
      zoom = kKickZoom;
      sway_target[2] = random_sign();
      light1_phase.x += kick_phase_step();
      light1_phase.y += kick_phase_step();
      light1_phase.z += kick_phase_step();
      light2_phase.x += kick_phase_step();
      light2_phase.y += kick_phase_step();
      light2_phase.z += kick_phase_step();
    }
  }

  // Zoom relaxes toward 1 (a kick frame leaves it at 1.18).
  zoom = zoom * kZoomKeep + kZoomPull;

  // Depth buffer, fitted to the frame and cleared. It is null for an empty or negative size, or
  // when no buffer of that size can be had: then this frame draws nothing, but everything below
  // still runs so that the animation and the random draws stay in step.
  frame_size_key = render3d::frame_size_key(width, height);
  std::uint16_t* const depth = depth_buffer.prepare(width, height);

  // Sound bands. The level rises halfway to twice the sample; the trend follows the level's
  // excess over the sample. Integer division truncates (all terms are non-negative).
  render3d::update_sound_bands(sound, band_level, band_trend);

  // Rotation: a slow clock-driven base rate plus the bands, capped, signed by the sway. The terms
  // are added left to right: wave, trend, then (angle 0 only) the bass level.
  const double t = static_cast<double>(clock);
  for (int k = 0; k < kRotationAngles; ++k) {
    const AngleDrive& drive = kAngleDrive[k];
    double increment = unit_wave(t, drive.clock_rate) * drive.base_rate +
                       std::max(band_trend[k], 0) * drive.trend_rate;
    if (k == 0) increment += band_level[0] * kBassLevelRate;
    rotation[k] += std::min(increment, kMaxRotationStep) * sway[k];
  }

  // Light drift: a clock sine plus each band trend, signed and weighted by the root of another.
  render3d::drift_lights(t, band_trend, light1_phase, light2_phase);

  // Geometry and light: the trails take this frame's directions, the arms follow them, and every
  // vertex is lit.
  update_trails(beat);
  build_arms();
  shade_mesh();

  // Every face in index order; the depth buffer alone decides what shows.
  if (depth && framebuffer) {
    const render3d::RenderTarget target = depth_buffer.target(framebuffer);
    const render3d::MeshView mesh{vertices.get(), vertex_count, faces.get(), face_count};
    render3d::draw_mesh(mesh, target,
                        [&](const MeshVertex& a, const MeshVertex& b, const MeshVertex& c,
                            const Vec3& normal) { draw_triangle(target, a, b, c, normal); });
  }

  // The picture is in the host's frame; there is nothing to report.
  return 0;
}

void CoilEffect::shade_mesh() {
  const std::uint32_t colour = apefw::ColourCycler(settings, colour_position).blend_colour();
  const render3d::MeshView mesh{vertices.get(), vertex_count, faces.get(), face_count};
  render3d::shade_mesh(mesh, light1_phase, light2_phase, colour, render3d::LightRig::kCoil);
}

void CoilEffect::draw_triangle(const render3d::RenderTarget& target, const MeshVertex& a,
                               const MeshVertex& b, const MeshVertex& c, const Vec3& face_normal) {
  (void)face_normal;
  render3d::draw_triangle(target, a, b, c, render3d::ViewFacingRules{zoom});
}

}  // namespace coilfx
