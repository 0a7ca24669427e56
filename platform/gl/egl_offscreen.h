// An offscreen OpenGL context with no display: EGL on Mesa's surfaceless
// platform or, where that is missing, the device platform; a compatibility-
// profile context drawing into a framebuffer object of its own with a 16-bit
// depth buffer, whatever depth the EGL configs offer. Used by the headless
// backend and by GL tests. Two variables pin it down for tests:
// HELICOID_EGL_PLATFORM (surfaceless or device) and HELICOID_EGL_DEPTH (the
// depth of the config's own buffers, in bits).
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

  // Creates the context and a width x height target. On failure (no EGL
  // display, or no framebuffer with a 16-bit depth buffer) returns false and
  // says why in *error.
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
