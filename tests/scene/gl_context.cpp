#include "tests/scene/gl_context.h"

#include <cstdlib>

#include "records/app_state.h"
#include "scene/scene.h"
#include "lib/harness/viewer_harness.h"
#include "trackball/trackball.h"

PresentLog Presents = {0, nullptr};

// The platform layer is not linked into these tests: presenting only counts.
BOOL WINAPI SwapBuffers(HDC hdc) {
  ++Presents.count;
  Presents.lastDeviceContext = hdc;
  return TRUE;
}

Rgb PixelAt(const std::vector<unsigned char>& pixels, int width, int x, int y) {
  const unsigned char* p = &pixels[4 * (static_cast<size_t>(y) * width + x)];
  return {p[0], p[1], p[2]};
}

bool Near(const Rgb& a, const Rgb& b, int tolerance) {
  for (int i = 0; i < 3; ++i) {
    if (std::abs(a[i] - b[i]) > tolerance) return false;
  }
  return true;
}

void SceneGL::SetUp() {
  harness::ResetRecords();
  AppState.windowWidth = kSize;
  AppState.windowHeight = kSize;
  Presents = PresentLog{0, nullptr};
  CreateContext(kSize);
}

void SceneGL::CreateContext(int size) {
  gl_.Destroy();
  std::string error;
  ASSERT_TRUE(gl_.Create(size, size, &error)) << error;
  ASSERT_TRUE(gl_.MakeCurrent());
}

void SceneGL::TearDown() {
  gl_.Destroy();
}
