#pragma once
// Shared helpers of the blobfx tests: sound blocks, an independent copy of the random generator,
// fields and effects that record what the sweep does.

#include <cstdint>
#include <functional>
#include <vector>

#include "apefw/ape_abi.h"
#include "blobfx/ball_field.hpp"
#include "blobfx/blob_effect.hpp"

namespace blobtest {

using Sound = std::vector<std::uint8_t>;

inline Sound silence() { return Sound(APE_SOUND_BYTES, 0); }

// Both spectrum channels set to `level` over bins [first, last]; the waveform stays zero (the
// effect must not read it).
inline void set_spectrum(Sound& sound, int first, int last, std::uint8_t level) {
  for (int i = first; i <= last; ++i) {
    sound[i] = level;
    sound[APE_SOUND_BINS + i] = level;
  }
}

// The generator as the documentation states it, written out again so that the tests do not trust
// the implementation they check.
class ReferenceRandom {
 public:
  explicit ReferenceRandom(std::uint32_t seed) : state_(seed) {}
  int next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFFu);
  }
  std::uint32_t state() const { return state_; }

 private:
  std::uint32_t state_;
};

// A ball field that counts and records its samples, answering with the real field or with a
// function of the point given by the test.
class RecordingField : public blobfx::BallField {
 public:
  using Override = std::function<std::int32_t(std::int32_t, std::int32_t, std::int32_t)>;

  explicit RecordingField(blobfx::BlobEffect& owner, Override field = {})
      : BallField(owner), field_(std::move(field)) {}

  std::int32_t sample(std::int32_t x, std::int32_t y, std::int32_t z) const noexcept override {
    ++samples;
    if (record) points.push_back({x, y, z});
    return field_ ? field_(x, y, z) : BallField::sample(x, y, z);
  }

  mutable long samples = 0;
  bool record = false;
  mutable std::vector<blobfx::GridPoint> points;

 private:
  Override field_;
};

// What one polygonize_cell call did.
struct CellRecord {
  blobfx::GridCell cell;
  std::int32_t cache_index;
  bool first_x, first_y, first_z;
  std::int32_t vertices_before, vertices_after;
  std::int32_t faces_before, faces_after;
};

// An effect that records every cell of the sweep (through the virtual slot the sweep calls).
class RecordingEffect : public blobfx::BlobEffect {
 public:
  void polygonize_cell(const blobfx::GridCell& cell, std::int32_t cache_index, bool first_x,
                       bool first_y, bool first_z) override {
    CellRecord r{cell, cache_index, first_x, first_y, first_z, vertex_count, 0, face_count, 0};
    BlobEffect::polygonize_cell(cell, cache_index, first_x, first_y, first_z);
    r.vertices_after = vertex_count;
    r.faces_after = face_count;
    cells.push_back(r);
  }

  std::vector<CellRecord> cells;
};

}  // namespace blobtest
