#include "platform/gl/egl_offscreen.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "platform/gl/depth_framebuffer.h"

namespace platform {
namespace {

template <typename F>
F Proc(const char* name) {
  return reinterpret_cast<F>(eglGetProcAddress(name));
}

bool HasExtension(EGLDisplay display, const char* name) {
  const char* list = eglQueryString(display, EGL_EXTENSIONS);
  if (list == nullptr) return false;
  const size_t length = strlen(name);
  for (const char* p = strstr(list, name); p != nullptr; p = strstr(p + 1, name)) {
    if ((p == list || p[-1] == ' ') && (p[length] == ' ' || p[length] == '\0')) return true;
  }
  return false;
}

// An initialised display that offers desktop OpenGL, or EGL_NO_DISPLAY: the
// API binds and at least one config renders with it. (A device may offer
// only OpenGL ES; eglBindAPI succeeds whatever the display, as it holds for
// the calling thread, so the configs decide.)
EGLDisplay Open(EGLDisplay d) {
  EGLint major = 0, minor = 0;
  if (d == EGL_NO_DISPLAY || !eglInitialize(d, &major, &minor)) return EGL_NO_DISPLAY;
  const EGLint desktopGL[] = {EGL_SURFACE_TYPE, EGL_DONT_CARE, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                              EGL_NONE};
  EGLint configs = 0;
  if (!eglBindAPI(EGL_OPENGL_API) || !eglChooseConfig(d, desktopGL, nullptr, 0, &configs) ||
      configs == 0) {
    eglTerminate(d);
    return EGL_NO_DISPLAY;
  }
  return d;
}

EGLDisplay SurfacelessDisplay(PFNEGLGETPLATFORMDISPLAYEXTPROC getPlatformDisplay) {
  return Open(getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr));
}

// The first device, of those EGL lists, that gives desktop OpenGL.
EGLDisplay DeviceDisplay(PFNEGLGETPLATFORMDISPLAYEXTPROC getPlatformDisplay) {
  auto queryDevices = Proc<PFNEGLQUERYDEVICESEXTPROC>("eglQueryDevicesEXT");
  EGLDeviceEXT devices[16];
  EGLint count = 0;
  if (queryDevices == nullptr || !queryDevices(16, devices, &count)) return EGL_NO_DISPLAY;
  for (EGLint i = 0; i < count; ++i) {
    EGLDisplay d = Open(getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr));
    if (d != EGL_NO_DISPLAY) return d;
  }
  return EGL_NO_DISPLAY;
}

// One EGL display for the whole process; contexts come and go on it. Mesa's
// surfaceless platform first, else the first device of the device platform
// (vendor drivers on servers offer only that). HELICOID_EGL_PLATFORM set to
// "surfaceless" or "device" tries only that one.
EGLDisplay SharedDisplay(std::string* error) {
  static EGLDisplay display = EGL_NO_DISPLAY;
  static bool tried = false;
  static std::string failure;
  if (!tried) {
    tried = true;
    const char* only = getenv("HELICOID_EGL_PLATFORM");
    const std::string wanted = only != nullptr ? only : "";
    auto getPlatformDisplay = Proc<PFNEGLGETPLATFORMDISPLAYEXTPROC>("eglGetPlatformDisplayEXT");
    if (getPlatformDisplay == nullptr) {
      failure = "EGL has no eglGetPlatformDisplayEXT";
    } else if (!wanted.empty() && wanted != "surfaceless" && wanted != "device") {
      failure = "HELICOID_EGL_PLATFORM is '" + wanted + "', not 'surfaceless' or 'device'";
    } else {
      if (wanted != "device") display = SurfacelessDisplay(getPlatformDisplay);
      if (display == EGL_NO_DISPLAY && wanted != "surfaceless") {
        display = DeviceDisplay(getPlatformDisplay);
      }
      if (display == EGL_NO_DISPLAY) {
        failure =
            "EGL offers desktop OpenGL on neither the surfaceless nor the device platform"
            " (is libgl1-mesa-dri installed?)";
        if (!wanted.empty()) failure = "EGL offers desktop OpenGL on no " + wanted + " display";
      }
    }
  }
  if (display == EGL_NO_DISPLAY && error != nullptr) *error = failure;
  return display;
}

// The config of the context. Its own surface is never drawn into (the
// framebuffer object is), so any depth will do; HELICOID_EGL_DEPTH=N insists
// on configs of exactly N bits, to show that the picture does not change.
// Without surfaceless contexts, the config must also give a pbuffer.
bool ChooseConfig(EGLDisplay display, bool pbuffer, EGLConfig* config, std::string* error) {
  const char* forced = getenv("HELICOID_EGL_DEPTH");
  int depth = 0;
  if (forced != nullptr) std::from_chars(forced, forced + strlen(forced), depth);
  // clang-format off
  const EGLint attribs[] = {
      EGL_SURFACE_TYPE, pbuffer ? EGL_PBUFFER_BIT : 0,
      EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
      EGL_DEPTH_SIZE, depth,
      EGL_NONE};
  // clang-format on
  EGLConfig configs[256];
  EGLint count = 0;
  eglChooseConfig(display, attribs, configs, 256, &count);
  for (EGLint i = 0; i < count; ++i) {
    EGLint bits = 0;
    eglGetConfigAttrib(display, configs[i], EGL_DEPTH_SIZE, &bits);
    if (forced == nullptr || bits == depth) {
      *config = configs[i];
      return true;
    }
  }
  *error = "EGL offers no config for desktop OpenGL";
  if (forced != nullptr) *error += " with a " + std::string(forced) + "-bit depth buffer";
  return false;
}

void* LoadGL(const char* name) {
  return reinterpret_cast<void*>(eglGetProcAddress(name));
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

  const bool pbuffer = !HasExtension(display, "EGL_KHR_surfaceless_context");
  EGLConfig config;
  if (!ChooseConfig(display, pbuffer, &config, error)) return false;
  const EGLint contextAttribs[] = {EGL_CONTEXT_MAJOR_VERSION, 1, EGL_CONTEXT_MINOR_VERSION, 1,
                                   EGL_NONE};
  // The bound API is the calling thread's, which need not be the one that
  // opened the display.
  eglBindAPI(EGL_OPENGL_API);
  EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttribs);
  if (context == EGL_NO_CONTEXT) {
    *error = "EGL cannot create an OpenGL 1.1 compatibility context";
    return false;
  }
  EGLSurface surface = EGL_NO_SURFACE;
  if (pbuffer) {
    const EGLint surfaceAttribs[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
    surface = eglCreatePbufferSurface(display, config, surfaceAttribs);
    if (surface == EGL_NO_SURFACE) {
      eglDestroyContext(display, context);
      *error = "EGL cannot create a pbuffer";
      return false;
    }
  }
  context_ = context;
  surface_ = surface;
  width_ = width;
  height_ = height;

  // The framebuffer is made in the new context, which is then put back as it
  // was (wglCreateContext makes nothing current either).
  EGLContext previous = eglGetCurrentContext();
  EGLSurface previousDraw = eglGetCurrentSurface(EGL_DRAW);
  EGLSurface previousRead = eglGetCurrentSurface(EGL_READ);
  DepthFramebuffer framebuffer;
  bool made = MakeCurrent();
  if (!made) *error = "EGL cannot make the new context current";
  made = made && CreateDepthFramebuffer(LoadGL, width, height, &framebuffer, error);
  if (made) {
    // A context starts with the viewport and scissor box of the surface it is
    // first made current on; the framebuffer stands for that surface.
    glViewport(0, 0, width, height);
    glScissor(0, 0, width, height);
  }
  eglMakeCurrent(display, previousDraw, previousRead, previous);
  if (!made) {
    *error = "cannot draw offscreen with a 16-bit depth buffer: " + *error;
    Destroy();
    return false;
  }
  depthBits_ = 16;
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
  // Destroying the context also deletes its framebuffer.
  if (context_ == nullptr) return;
  EGLDisplay display = SharedDisplay(nullptr);
  if (eglGetCurrentContext() == context_) ReleaseCurrent();
  if (surface_ != EGL_NO_SURFACE) eglDestroySurface(display, surface_);
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
