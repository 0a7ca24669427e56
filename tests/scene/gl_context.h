// A fresh Mesa offscreen GL context for each test, the size of the viewer's
// square window, and the count of presents made through SwapBuffers.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "platform/gl/egl_offscreen.h"
#include "platform/win32.h"

// Filled in by this test program's own SwapBuffers.
struct PresentLog {
  int count;
  HDC lastDeviceContext;
};
extern PresentLog Presents;

// A pixel of a top-down RGBA picture.
typedef std::array<int, 3> Rgb;
Rgb PixelAt(const std::vector<unsigned char>& pixels, int width, int x, int y);
bool Near(const Rgb& a, const Rgb& b, int tolerance);

class SceneGL : public ::testing::Test {
 protected:
  static const int kSize = 864;

  // Creates a kSize x kSize context (or `size` when given), makes it current,
  // and sets the shared records to their start values with a square window.
  void SetUp() override;
  void TearDown() override;

  void CreateContext(int size);
  std::vector<unsigned char> Pixels() const { return gl_.ReadPixels(); }

  platform::OffscreenGL gl_;
};
