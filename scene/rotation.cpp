// Hygiene of the accumulated model rotation.
#include <math.h>

#include "scene/scene.h"

bool RotationStepTurns(float angleDegrees, const float axis[3]) {
  if (!isfinite(angleDegrees) || angleDegrees == 0.0f) return false;
  for (int i = 0; i < 3; ++i) {
    if (!isfinite(axis[i])) return false;
  }
  // The squared length as the GL forms it; zero here would be a division by
  // zero in a GL that divides by the length.
  const float lengthSquared = axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2];
  return lengthSquared > 0.0f && isfinite(lengthSquared);
}

namespace {

double Dot(const double a[3], const double b[3]) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Scales `v` to unit length; false if it has no usable length.
bool Normalize(double v[3]) {
  const double length = sqrt(Dot(v, v));
  if (!(length > 0.0) || !isfinite(length)) return false;
  for (int i = 0; i < 3; ++i) v[i] /= length;
  return true;
}

// v -= (v . unit) unit
void RemoveComponent(double v[3], const double unit[3]) {
  const double along = Dot(v, unit);
  for (int i = 0; i < 3; ++i) v[i] -= along * unit[i];
}

}  // namespace

void OrthonormalizeRotation(float matrix[16]) {
  // Columns 0, 1, 2 of the column-major matrix are elements 0-2, 4-6, 8-10.
  double column[3][3];
  for (int c = 0; c < 3; ++c) {
    for (int r = 0; r < 3; ++r) column[c][r] = matrix[4 * c + r];
  }

  if (!Normalize(column[0])) return;
  RemoveComponent(column[1], column[0]);
  if (!Normalize(column[1])) return;
  RemoveComponent(column[2], column[0]);
  RemoveComponent(column[2], column[1]);
  if (!Normalize(column[2])) return;

  for (int c = 0; c < 3; ++c) {
    for (int r = 0; r < 3; ++r) matrix[4 * c + r] = static_cast<float>(column[c][r]);
  }
}
