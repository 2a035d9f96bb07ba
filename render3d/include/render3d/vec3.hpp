#pragma once
// Three doubles in camera space: the camera sits at the origin looking along +z; after projection x
// grows to the right and y downwards on the frame.

#include <cmath>

namespace render3d {

// Vectors shorter than this are never rescaled (their direction is too uncertain); exactly this
// long is rescaled. One threshold for every normalisation of both effects.
inline constexpr double kShortVectorLimit = 0.05;

struct Vec3 {
  double x;
  double y;
  double z;

  Vec3& operator+=(const Vec3& o) noexcept {
    x += o.x;
    y += o.y;
    z += o.z;
    return *this;
  }
  Vec3& operator*=(double s) noexcept {
    x *= s;
    y *= s;
    z *= s;
    return *this;
  }
};

inline Vec3 operator+(Vec3 a, const Vec3& b) noexcept { return a += b; }
inline Vec3 operator-(const Vec3& a, const Vec3& b) noexcept {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(Vec3 a, double s) noexcept { return a *= s; }

inline double dot(const Vec3& a, const Vec3& b) noexcept {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

inline Vec3 cross(const Vec3& a, const Vec3& b) noexcept {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline double length(const Vec3& v) noexcept {
  return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

// Scales v to unit length by one reciprocal, unless it is shorter than kShortVectorLimit.
inline void normalise(Vec3& v) noexcept {
  const double len = length(v);
  if (len < kShortVectorLimit) return;
  v *= 1.0 / len;
}

}  // namespace render3d
