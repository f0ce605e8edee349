#pragma once
#include <cmath>

#include "course/vector3.h"

// Small vector helpers of the ball physics, in single precision so that every machine computes the same bits.
namespace ballmath {

inline Vector3 add(const Vector3& a, const Vector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vector3 sub(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vector3 scale(const Vector3& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vector3 cross(const Vector3& a, const Vector3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float length(const Vector3& a) { return std::sqrt(dot(a, a)); }
// Unit vector of a; zero stays zero.
inline Vector3 unit(const Vector3& a) {
  const float l = length(a);
  return l > 0.0f ? scale(a, 1.0f / l) : Vector3{};
}
inline bool isZero(const Vector3& a) { return a.x == 0.0f && a.y == 0.0f && a.z == 0.0f; }

}  // namespace ballmath
