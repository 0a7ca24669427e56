// Helpers for reading the embedded model in the tests.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <tuple>

#include "model/model.h"

namespace model_test {

using Vec3 = std::array<float, 3>;

constexpr int kFacesPerStrip = 3528;

inline Vec3 Vertex(int index) {
  const float* v = ModelMesh.vertices + 3 * index;
  return {v[0], v[1], v[2]};
}

inline Vec3 Normal(int index) {
  const float* n = ModelMesh.normals + 3 * index;
  return {n[0], n[1], n[2]};
}

inline const MeshFace& Face(int i) {
  return ModelMesh.faces[i];
}

inline Vec3 Corner(int face, int corner) {
  return Vertex(Face(face).vertexIndex[corner]);
}

inline Vec3 FaceNormal(int face) {
  return Normal(Face(face).normalIndex[0]);
}

// 1 for faces 0..3527, 2 for faces 3528..7055.
inline int StripOf(int face) {
  return face < kFacesPerStrip ? 1 : 2;
}

inline uint32_t Bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

// A key for a position that tells +0.0 from -0.0 and nothing else apart.
inline std::tuple<uint32_t, uint32_t, uint32_t> Key(const Vec3& p) {
  return {Bits(p[0]), Bits(p[1]), Bits(p[2])};
}

// (b - a) x (c - a) in double precision.
inline std::array<double, 3> Cross(const Vec3& a, const Vec3& b, const Vec3& c) {
  const double ux = double(b[0]) - a[0], uy = double(b[1]) - a[1], uz = double(b[2]) - a[2];
  const double vx = double(c[0]) - a[0], vy = double(c[1]) - a[1], vz = double(c[2]) - a[2];
  return {uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx};
}

inline double Dot(const std::array<double, 3>& a, const Vec3& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

inline double Length(const std::array<double, 3>& a) {
  return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
}

}  // namespace model_test
