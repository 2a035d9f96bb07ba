// The Blobform frame driver: construction, the per-frame animation (frame counter, colour, sound
// bands, light drift) and the hand-over to the surface builder, shading and drawing.

#include "blobfx/blob_effect.hpp"

#include <new>

#include "apefw/ape_abi.h"
#include "apefw/colour_cycler.hpp"
#include "apefw/platform.hpp"
#include "apefw/random.hpp"
#include "apefw/settings_panel.hpp"
#include "render3d/geometry.hpp"
#include "render3d/shading.hpp"
#include "render3d/sound_bands.hpp"

namespace blobfx {
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

int BlobEffect::save_settings(std::uint8_t* buffer) {
  return apefw::save_settings_blob(settings, buffer);
}

int BlobEffect::render_frame(const std::uint8_t* sound, int beat, std::uint32_t* framebuffer,
                             std::uint32_t* output_framebuffer, int width, int height) {
  (void)output_framebuffer;  // the picture is drawn in place
  // A host that lends no sound data gets the picture of silence.
  static constexpr std::uint8_t kSilence[APE_SOUND_BYTES] = {};
  if (!sound) sound = kSilence;

  // Frame start: a new, empty mesh; the beat is kept for the ball field. The counter wraps in
  // unsigned arithmetic and is read back as the signed value everything below uses.
  vertex_count = 0;
  face_count = 0;
  beat_flag = beat;
  frame_count = static_cast<std::int32_t>(static_cast<std::uint32_t>(frame_count) + 1u);

  // Colour: the step and, on a beat with on_beat_change set, the jump (one random draw, ahead of
  // the ball field's twelve).
  apefw::ColourCycler(settings, colour_position).advance_colour(beat);

  // Depth buffer, fitted to the frame and cleared. It is null for an empty or negative size, or
  // when no buffer of that size can be had: then this frame draws nothing, but everything below
  // still runs so that the animation and the random draws stay in step.
  frame_size_key = render3d::frame_size_key(width, height);
  std::uint16_t* const depth = depth_buffer.prepare(width, height);

  // Sound bands. The level rises halfway to twice the sample; the trend follows the new level's
  // excess over the sample. Integer division truncates toward zero. The ball field decays the
  // levels later in the frame, after using them.
  render3d::update_sound_bands(sound, band_level, band_trend);

  // Light drift from the frame count (the signed value, also after a wrap) and the trends.
  render3d::drift_lights(static_cast<double>(frame_count), band_trend, light1_phase, light2_phase);

  // The balls move, the surface is rebuilt from their field and lit.
  build_surface();
  shade_mesh();

  // Every face in the order the sweep emitted it; the depth buffer alone decides what shows.
  if (depth && framebuffer) draw_mesh(framebuffer, width, height);

  // The picture is in the host's frame; there is nothing to report.
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
  if (!framebuffer || !depth || depth_buffer.width() != width || depth_buffer.height() != height)
    return;
  const render3d::RenderTarget target = depth_buffer.target(framebuffer);
  const render3d::MeshView mesh{vertices.get(), vertex_count, faces.get(), face_count};
  render3d::draw_mesh(mesh, target,
                      [&](const MeshVertex& a, const MeshVertex& b, const MeshVertex& c,
                          const Vec3& normal) { draw_triangle(target, a, b, c, normal); });
}

void BlobEffect::draw_triangle(const render3d::RenderTarget& target, const MeshVertex& a,
                               const MeshVertex& b, const MeshVertex& c, const Vec3& face_normal) {
  render3d::draw_triangle(target, a, b, c, render3d::FaceNormalRules{face_normal});
}

}  // namespace blobfx
