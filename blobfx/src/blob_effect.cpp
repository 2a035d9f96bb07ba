// The Blobform frame driver: construction, the per-frame animation (frame counter, colour, sound
// bands, light drift) and the hand-over to the surface builder, shading and drawing.

#include "blobfx/blob_effect.hpp"

#include <cmath>
#include <new>

#include "apefw/ape_abi.h"
#include "apefw/colour_cycler.hpp"
#include "apefw/platform.hpp"
#include "apefw/random.hpp"
#include "apefw/settings_panel.hpp"
#include "render3d/geometry.hpp"
#include "render3d/shading.hpp"
#include "render3d/trig.hpp"

namespace blobfx {
namespace {

namespace trig = render3d::trig;

// Three spectrum bands, as window centre and width in fractions of the 576 bins, and the weight of
// the level's excess over the sample in each band's trend.
struct Band {
  double centre;
  double width;
  std::int32_t trend_weight;
};
constexpr Band kBands[3] = {
    {0.0, 0.007, 1},  // bins 0 and 1
    {0.07, 0.07, 2},  // bins 20 to 59
    {0.2, 0.3, 3},    // bins 28 to 200
};

// How strongly a band's trend pushes its light drift.
constexpr double kTrendDrift = 0.00075;

// -1 below zero, +1 otherwise (zero included).
double sign_of(double s) noexcept { return s < 0.0 ? -1.0 : 1.0; }

// One light-phase drift: a slow frame sine plus the trend weighted by the signed square root of a
// second sine, the product formed left to right.
double drift(double wave, double amplitude, double s, std::int32_t trend) noexcept {
  return wave * amplitude + std::sqrt(std::fabs(s)) * trend * sign_of(s) * kTrendDrift;
}

}  // namespace

BlobEffect::BlobEffect() noexcept {
  // The part every effect shares: the seed, the default settings; the own state is already zero
  // (the member initializers), so every buffer starts absent.
  apefw::seed_random(apefw::millisecond_ticks());
  apefw::reset_settings(settings);

  // No array is cleared: the sweep writes every entry before anything reads it.
  vertex_count = 0;
  vertices.reset(new (std::nothrow) MeshVertex[kVertexCapacity]);
  face_count = 0;
  faces.reset(new (std::nothrow) MeshFace[kFaceCapacity]);
  edge_cache_size = kEdgeCacheEntries;
  edge_cache.reset(new (std::nothrow) std::int32_t[kEdgeCacheEntries]);
  ball_field.reset(new (std::nothrow) BallField(*this));
}

BlobEffect::~BlobEffect() {
  // A panel left open must not edit this object once it is gone.
  apefw::forget_settings_panel(*this);
  depth_buffer.release();
  vertices.reset();
  faces.reset();
  edge_cache.reset();
  ball_field.reset();
}

bool BlobEffect::construction_complete() const noexcept {
  return vertices && faces && edge_cache && ball_field;
}

void* BlobEffect::create_settings_panel(void* instance, void* parent) {
  return apefw::open_settings_panel(*this, settings, instance, parent);
}

const char* BlobEffect::describe() { return kLongDescription; }

void BlobEffect::load_settings(const std::uint8_t* data, int length) {
  apefw::load_settings_blob(settings, data, length);
}

int BlobEffect::save_settings(std::uint8_t* buffer) { return apefw::save_settings_blob(settings, buffer); }

int BlobEffect::render_frame(const std::uint8_t* sound, int beat, std::uint32_t* framebuffer,
                             std::uint32_t* output_framebuffer, int width, int height) {
  (void)output_framebuffer;  // the picture is drawn in place
  // A host that lends no sound data gets the picture of silence.
  static constexpr std::uint8_t kSilence[APE_SOUND_BYTES] = {};
  if (!sound) sound = kSilence;

  // 1. A new, empty mesh; the beat is kept for the ball field. The counter wraps in unsigned
  // arithmetic and is read back as the signed value everything below uses.
  vertex_count = 0;
  face_count = 0;
  beat_flag = beat;
  frame_count = static_cast<std::int32_t>(static_cast<std::uint32_t>(frame_count) + 1u);

  // 2. Colour: the step and, on a beat with on_beat_change set, the jump (one random draw, ahead of
  // the ball field's twelve).
  apefw::ColourCycler(settings, colour_position).advance_colour(beat);

  // 3. Depth buffer, fitted to the frame and cleared. It is null for an empty or negative size, or
  // when no buffer of that size can be had: then this frame draws nothing, but everything below
  // still runs so that the animation and the random draws stay in step.
  frame_size_key = render3d::frame_size_key(width, height);
  std::uint16_t* const depth = depth_buffer.prepare(width, height);

  // 4. Sound bands. The level rises halfway to twice the sample; the trend follows the new level's
  // excess over the sample. Integer division truncates toward zero. The ball field decays the
  // levels later in the frame, after using them.
  for (int b = 0; b < 3; ++b) {
    const std::int32_t v = render3d::sample_sound(sound, kBands[b].centre, kBands[b].width, 0);
    band_level[b] = (2 * v + band_level[b]) / 2;
    band_trend[b] = (kBands[b].trend_weight * (band_level[b] - v) + band_trend[b]) / 2;
  }

  // 5. Light drift from the frame count (the signed value, also after a wrap) and the trends.
  const double t = static_cast<double>(frame_count);
  const double d0 = drift(trig::sin(t * 0.00271), 0.021, trig::sin(t * 0.012), band_trend[0]);
  const double d1 = drift(trig::sin(t * 0.00418), 0.0223, trig::sin(t * 0.00412), band_trend[1]);
  const double d2 = drift(trig::sin(t * 0.003211), 0.0189, trig::sin(t * 0.00614), band_trend[2]);
  light1_phase.x += d0;
  light1_phase.y += d1;
  light1_phase.z += d2;
  // The second light gets the same drifts, turned by one place.
  light2_phase.x += d1;
  light2_phase.y += d2;
  light2_phase.z += d0;

  // 6 - 7. The balls move, the surface is rebuilt and lit.
  build_surface();
  shade_mesh();

  // 8. Every face in the order the sweep emitted it; the depth buffer alone decides what shows.
  if (depth && framebuffer) draw_mesh(framebuffer, width, height);

  // 9.
  return 0;
}

void BlobEffect::shade_mesh() {
  const std::uint32_t colour = apefw::ColourCycler(settings, colour_position).blend_colour();
  const render3d::MeshView mesh{vertices.get(), vertex_count, faces.get(), face_count};
  render3d::shade_mesh(mesh, light1_phase, light2_phase, colour, render3d::LightRig::kBlob);
}

void BlobEffect::draw_mesh(std::uint32_t* framebuffer, int width, int height) {
  // Only into a depth buffer made for exactly this frame size.
  std::uint16_t* const depth = depth_buffer.data();
  if (!framebuffer || !depth || depth_buffer.width() != width || depth_buffer.height() != height) return;
  const render3d::RenderTarget target{framebuffer, depth, width, height};
  const render3d::MeshView mesh{vertices.get(), vertex_count, faces.get(), face_count};
  render3d::draw_mesh(mesh, [&](const MeshVertex& a, const MeshVertex& b, const MeshVertex& c,
                                const Vec3& normal) { draw_triangle(target, a, b, c, normal); });
}

void BlobEffect::draw_triangle(const render3d::RenderTarget& target, const MeshVertex& a,
                               const MeshVertex& b, const MeshVertex& c, const Vec3& face_normal) {
  render3d::draw_triangle(target, a, b, c, render3d::FaceNormalRules{face_normal});
}

}  // namespace blobfx
