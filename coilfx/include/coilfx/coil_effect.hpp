#pragma once
// The Coilform effect: a lit body from which six tapered, square-sectioned arms reach out. The body
// turns at a speed driven by three spectrum bands; every arm ring follows the direction the body
// had some frames earlier, so the arms trail and bend; beats lengthen the arms and send a bright
// pulse down them.
//
// The class is internal to the plug-in module: the host only ever sees the C table of ape_abi.h, so
// the state is public for the tests rather than hidden behind accessors. Its own virtual operations
// keep their slot order, but the class is final: what render_frame calls is what is described here.

#include <cstdint>
#include <memory>

#include "apefw/effect_base.hpp"
#include "apefw/effect_settings.hpp"
#include "render3d/depth_buffer.hpp"
#include "render3d/mesh.hpp"
#include "render3d/rasterizer.hpp"
#include "render3d/sound_bands.hpp"
#include "render3d/vec3.hpp"

namespace coilfx {

using render3d::MeshFace;
using render3d::MeshVertex;
using render3d::Vec3;

inline constexpr char kShortName[] = "Coilform 3D";
inline constexpr char kLongDescription[] = "Render / Coilform 3D";

// The figure: six arms of 30 square rings each, every arm closed at its base by four hub vertices.
inline constexpr int kArmCount = 6;
inline constexpr int kRingsPerArm = 30;
inline constexpr int kCornersPerRing = 4;
inline constexpr int kHubVerticesPerArm = 4;
inline constexpr int kVerticesPerArm = kHubVerticesPerArm + kRingsPerArm * kCornersPerRing;  // 124
inline constexpr int kFacesPerArm = kRingsPerArm * kCornersPerRing * 2;                      // 240
inline constexpr int kVertexCapacity = kArmCount * kVerticesPerArm;                          // 744
inline constexpr int kFaceCapacity = kArmCount * kFacesPerArm;                               // 1440

// One trail per arm, one entry per ring: entry e is the arm's direction e frames ago.
inline constexpr int kTrailLength = kRingsPerArm;
inline constexpr int kTrailRecords = kArmCount * kTrailLength;  // 180

// The common centre of all arms, in front of the camera.
inline constexpr Vec3 kHubPoint = {0.0, 0.0, 23.0};

// The three angles that turn the arm axes, each driven by the sound band of the same number.
inline constexpr int kRotationAngles = 3;
static_assert(kRotationAngles == render3d::kSoundBands);

// Walks the square with corners p, q, -p, -q, piecewise linearly in t (clamped to 0..1): t = 0,
// 0.25, 0.5, 0.75 and 1 give p, q, -p, -q and p again. out gets that position and every other field
// of p.
void ring_point(const MeshVertex& p, const MeshVertex& q, double t, MeshVertex& out) noexcept;

class CoilEffect final : public apefw::EffectBase {
 public:
  CoilEffect() noexcept;
  ~CoilEffect() override;

  // False when one of the mesh arrays could not be allocated; such an object is never handed out.
  [[nodiscard]] bool construction_complete() const noexcept;

  int render_frame(const std::uint8_t* sound, int beat, std::uint32_t* framebuffer,
                   std::uint32_t* output_framebuffer, int width, int height) override;
  void* create_settings_panel(void* instance, void* parent) override;
  const char* describe() override;
  void load_settings(const std::uint8_t* data, int length) override;
  int save_settings(std::uint8_t* buffer) override;

  // The effect's own operations, in this slot order behind the six above.

  // Moves every arm's direction history one entry outward and puts this frame's directions, the six
  // axes turned by `rotation`, at the heads; trail 0 also carries the beat pulse.
  virtual void update_trails(int beat);
  // Rebuilds every vertex and triangle of the figure from the trails and `zoom`.
  virtual void build_arms();
  // Blends the frame's colour and lights every vertex with the two moving lights.
  virtual void shade_mesh();
  // One triangle into the frame and depth buffer; turned away when it faces away from the camera or
  // lies far outside the frame. The face normal is not needed by these rules.
  virtual void draw_triangle(const render3d::RenderTarget& target, const MeshVertex& a,
                             const MeshVertex& b, const MeshVertex& c, const Vec3& face_normal);

  apefw::EffectSettings settings{};
  // width + 65536 x height of the latest frame; the depth buffer itself tracks width and height.
  std::int32_t frame_size_key = 0;
  std::int32_t clock = 0;  // wraps modulo 2^32
  std::int32_t band_level[render3d::kSoundBands] = {};
  std::int32_t band_trend[render3d::kSoundBands] = {};
  render3d::DepthBuffer depth_buffer;
  std::unique_ptr<MeshVertex[]> vertices;
  std::int32_t vertex_count = 0;
  std::unique_ptr<MeshFace[]> faces;
  std::int32_t face_count = 0;
  std::unique_ptr<MeshVertex[]> trails;  // records 30k .. 30k + 29 are trail k
  std::int32_t trail_count = 0;
  std::int32_t beat_count = 0;
  double sway[kRotationAngles] = {};         // signed rate factors of the rotation angles
  double sway_target[kRotationAngles] = {};  // +1 or -1; sway glides toward them
  double zoom = 0.0;                         // 1.0 at rest, 1.2 after a kick, relaxing back
  double rotation[kRotationAngles] = {};     // radians; turn the six arm axes
  double colour_position = 0.0;
  Vec3 light1_phase{};
  Vec3 light2_phase{};
};

}  // namespace coilfx
