// An offscreen OpenGL context with no display: Mesa EGL on the surfaceless
// platform, a compatibility-profile context and a pbuffer with a 16-bit depth
// buffer. Used by the headless backend and by GL tests.
#pragma once

#include <string>
#include <vector>

namespace platform {

class OffscreenGL {
 public:
  OffscreenGL() = default;
  ~OffscreenGL();
  OffscreenGL(const OffscreenGL&) = delete;
  OffscreenGL& operator=(const OffscreenGL&) = delete;

  // Creates the context and a width x height target. On failure returns false
  // and says why in *error.
  bool Create(int width, int height, std::string* error);
  bool MakeCurrent();
  static void ReleaseCurrent();
  void Destroy();

  bool valid() const { return context_ != nullptr; }
  int width() const { return width_; }
  int height() const { return height_; }
  int depthBits() const { return depthBits_; }

  // The colour buffer as RGBA bytes, rows top to bottom.
  std::vector<unsigned char> ReadPixels() const;

 private:
  void* surface_ = nullptr;
  void* context_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int depthBits_ = 0;
};

}  // namespace platform
