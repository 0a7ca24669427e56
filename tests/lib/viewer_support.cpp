#include "tests/lib/viewer_support.h"

void ResetViewer() {
  harness::ResetViewer();
  headless::SetFrameLimit(50);
}

std::array<float, 16> Rotation() {
  std::array<float, 16> m;
  for (int i = 0; i < 16; ++i) m[i] = TrackballState.modelRotation[i];
  return m;
}

bool IsIdentity(const std::array<float, 16>& m) {
  for (int i = 0; i < 16; ++i) {
    if (m[i] != ((i % 5 == 0) ? 1.0f : 0.0f)) return false;
  }
  return true;
}
