// The arm mesh. Each arm is a tube of 30 square rings that tapers from the hub to a point. Ring i
// is placed along the running sum of the arm's i + 1 newest directions, at i x zoom x 21/29 from
// the hub, so when the body turns the outer rings lag behind and the arm bends. The thick bases of
// the six arms overlap around the hub and make up the body.
//
// Index layout, counting on across the arms: hub vertex h of arm k is 124k + h; corner j of ring i
// is 124k + 4 + 4i + j; the two triangles of side j of ring i are 240k + 8i + 2j and that + 1.

#include <algorithm>
#include <cmath>

#include "coilfx/coil_effect.hpp"

namespace coilfx {
namespace {

// 21/29 as the double the figure was designed with: ring i lies i x zoom x 21/29 from the hub, the
// last one (i = 29) at 21 x zoom.
constexpr double kRingSpacing = 0.7241379310344828;
// -1/29, likewise: ring i has radius (i x -1/29 + 1) x 1.7, down to 0 at the tip.
constexpr double kTaperPerRing = -0.034482758620689655;
constexpr double kBaseRadius = 1.7;
// The four corners of a ring lie a quarter of the square walk of ring_point apart: b, a, -b, -a.
constexpr double kCornerStep = 1.0 / kCornersPerRing;

}  // namespace

void ring_point(const MeshVertex& p, const MeshVertex& q, double t, MeshVertex& out) noexcept {
  if (t <= 0.0) t = 0.0;
  if (t >= 1.0) t = 1.0;
  double wp;  // weight of p
  double wq;  // weight of q
  if (t < 0.25) {
    wp = 1.0 - 4.0 * t;
    wq = 4.0 * t;
  } else if (t < 0.5) {
    const double d = t - 0.25;
    wp = -4.0 * d;
    wq = 1.0 - 4.0 * d;
  } else if (t < 0.75) {
    const double d = t - 0.5;
    wp = 4.0 * d - 1.0;
    wq = -4.0 * d;
  } else {
    const double d = t - 0.75;
    wp = 4.0 * d;
    wq = 4.0 * d - 1.0;
  }
  out = p;
  out.position = p.position * wp + q.position * wq;
}

void CoilEffect::build_arms() {
  // Both counters run on across the arms; the clamp can never bite with the fixed counts, but it
  // keeps a write inside the arrays whatever happens to them.
  std::int32_t vertex_counter = 0;
  std::int32_t face_counter = 0;
  auto put_vertex = [&](const MeshVertex& v) {
    vertices[std::min(vertex_counter, vertex_count - 1)] = v;
    ++vertex_counter;
  };
  auto put_face = [&](std::int32_t i0, std::int32_t i1, std::int32_t i2) {
    // Only the indices: shading writes the face normal before anything reads it.
    MeshFace& f = faces[std::min(face_counter, face_count - 1)];
    f.vertex_index[0] = i0;
    f.vertex_index[1] = i1;
    f.vertex_index[2] = i2;
    ++face_counter;
  };
  const MeshVertex* const pulses = &trails[0];  // trail 0's pulses light the rings of every arm

  for (int k = 0; k < kArmCount; ++k) {
    // The hub vertices close the arm's base; the highlight there is 0.
    MeshVertex hub{};
    hub.position = kHubPoint;
    for (int h = 0; h < kHubVerticesPerArm; ++h) put_vertex(hub);

    const MeshVertex* const trail = &trails[k * kTrailLength];
    Vec3 sum{0.0, 0.0, 0.0};
    std::int32_t prev = k * kVerticesPerArm;
    for (int i = 0; i < kRingsPerArm; ++i) {
      sum += trail[i].position;
      const double sum_length = render3d::length(sum);

      // The ring's centre: len from the hub along the summed direction. A sum that cancels out
      // has no trustworthy direction and is used as it stands.
      const double len = (i * zoom) * kRingSpacing;
      Vec3 centre = sum;
      if (sum_length >= render3d::kShortVectorLimit) centre *= len / sum_length;
      centre += kHubPoint;

      // The cross-section axes: a lies in the plane of the sum and the Y axis, b is perpendicular
      // to both. Only a is made unit length; each corner offset is brought to the radius below.
      MeshVertex a{};
      a.position = {sum.x * sum.y, -(sum.x * sum.x + sum.z * sum.z), sum.z * sum.y};
      render3d::normalise(a.position);
      MeshVertex b{};
      b.position = {sum.z, 0.0, -sum.x};

      const std::int32_t cur = prev + kCornersPerRing;
      const double taper = i * kTaperPerRing + 1.0;
      for (int j = 0; j < kCornersPerRing; ++j) {
        // b, a, -b, -a for j = 0, 1, 2, 3.
        MeshVertex offset;
        ring_point(b, a, j * kCornerStep, offset);
        const double offset_length = render3d::length(offset.position);
        if (offset_length >= render3d::kShortVectorLimit) {
          offset.position *= (taper / offset_length) * kBaseRadius;
        }

        MeshVertex corner{};
        corner.position = centre + offset.position;
        corner.colour = pulses[i].colour;
        put_vertex(corner);

        // Side j between the previous ring (or the hub) and this one. The corner order makes the
        // face normal (P0 - P1) x (P2 - P1) point away from the arm's centre line.
        const std::int32_t j1 = (j + 1) % kCornersPerRing;
        put_face(prev + j, prev + j1, cur + j);
        put_face(cur + j1, cur + j, prev + j1);
      }
      prev = cur;
    }
  }
}

}  // namespace coilfx
