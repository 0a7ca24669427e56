#include "platform/egl_offscreen.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <algorithm>

namespace platform {
namespace {

// One EGL display for the whole process; contexts come and go on it.
EGLDisplay SharedDisplay(std::string* error) {
  static EGLDisplay display = EGL_NO_DISPLAY;
  static bool tried = false;
  static std::string failure;
  if (!tried) {
    tried = true;
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay == nullptr) {
      failure = "EGL has no eglGetPlatformDisplayEXT";
    } else {
      EGLDisplay d =
          getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
      EGLint major = 0, minor = 0;
      if (d == EGL_NO_DISPLAY || !eglInitialize(d, &major, &minor)) {
        failure =
            "cannot initialise the Mesa surfaceless EGL display (is libgl1-mesa-dri installed?)";
      } else if (!eglBindAPI(EGL_OPENGL_API)) {
        failure = "EGL cannot bind the desktop OpenGL API";
      } else {
        display = d;
      }
    }
  }
  if (display == EGL_NO_DISPLAY && error != nullptr) *error = failure;
  return display;
}

}  // namespace

OffscreenGL::~OffscreenGL() {
  Destroy();
}

bool OffscreenGL::Create(int width, int height, std::string* error) {
  Destroy();
  std::string ignored;
  if (error == nullptr) error = &ignored;
  EGLDisplay display = SharedDisplay(error);
  if (display == EGL_NO_DISPLAY) return false;

  // Attribute and value pairs.
  // clang-format off
  const EGLint configAttribs[] = {
      EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
      EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8,
      EGL_DEPTH_SIZE, 16,
      EGL_NONE};
  // clang-format on
  EGLConfig configs[64];
  EGLint count = 0;
  if (!eglChooseConfig(display, configAttribs, configs, 64, &count) || count == 0) {
    *error = "EGL offers no pbuffer config with OpenGL and a 16-bit depth buffer";
    return false;
  }
  // Prefer a config whose depth buffer is exactly 16 bits, as the viewer asks for.
  EGLConfig config = configs[0];
  for (EGLint i = 0; i < count; ++i) {
    EGLint depth = 0;
    eglGetConfigAttrib(display, configs[i], EGL_DEPTH_SIZE, &depth);
    if (depth == 16) {
      config = configs[i];
      break;
    }
  }

  const EGLint contextAttribs[] = {EGL_CONTEXT_MAJOR_VERSION, 1, EGL_CONTEXT_MINOR_VERSION, 1,
                                   EGL_NONE};
  EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttribs);
  if (context == EGL_NO_CONTEXT) {
    *error = "EGL cannot create an OpenGL 1.1 compatibility context";
    return false;
  }
  const EGLint surfaceAttribs[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  EGLSurface surface = eglCreatePbufferSurface(display, config, surfaceAttribs);
  if (surface == EGL_NO_SURFACE) {
    eglDestroyContext(display, context);
    *error = "EGL cannot create a " + std::to_string(width) + " x " + std::to_string(height) +
             " pbuffer";
    return false;
  }
  eglGetConfigAttrib(display, config, EGL_DEPTH_SIZE, &depthBits_);
  context_ = context;
  surface_ = surface;
  width_ = width;
  height_ = height;
  return true;
}

bool OffscreenGL::MakeCurrent() {
  if (context_ == nullptr) return false;
  EGLDisplay display = SharedDisplay(nullptr);
  return eglMakeCurrent(display, surface_, surface_, context_) == EGL_TRUE;
}

void OffscreenGL::ReleaseCurrent() {
  EGLDisplay display = SharedDisplay(nullptr);
  if (display != EGL_NO_DISPLAY) {
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  }
}

void OffscreenGL::Destroy() {
  if (context_ == nullptr) return;
  EGLDisplay display = SharedDisplay(nullptr);
  if (eglGetCurrentContext() == context_) ReleaseCurrent();
  eglDestroySurface(display, surface_);
  eglDestroyContext(display, context_);
  context_ = nullptr;
  surface_ = nullptr;
  width_ = height_ = depthBits_ = 0;
}

std::vector<unsigned char> OffscreenGL::ReadPixels() const {
  std::vector<unsigned char> pixels(static_cast<size_t>(width_) * height_ * 4);
  if (pixels.empty()) return pixels;
  std::vector<unsigned char> bottomUp(pixels.size());
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
  const size_t row = static_cast<size_t>(width_) * 4;
  for (int y = 0; y < height_; ++y) {
    std::copy(bottomUp.begin() + (height_ - 1 - y) * row, bottomUp.begin() + (height_ - y) * row,
              pixels.begin() + y * row);
  }
  return pixels;
}

}  // namespace platform
