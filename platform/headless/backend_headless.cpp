// The headless backend: no display, every run deterministic.
//
// Implements: windows as records (no frame: client area = outer size; a
// maximized window fills the screen); GL contexts rendering offscreen through
// EGL at the window's size, one surface format with a 16-bit depth buffer
// (or, where EGL cannot give one, one line and exit status 1); presenting, which counts the frame
// for the input script and keeps its pixels; input from the script of headless_script.cpp; message
// boxes recorded, echoed to stderr and answered; timers that fire only when
// the script says so; the call log and injected failures of headless.h,
// through the core's hooks (headless_watch.cpp).
// Leaves out: window icons, mouse capture on any native level (the core's
// routing is all there is), a clock.
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/backend.h"
#include "platform/core/core_hooks.h"
#include "platform/gl/egl_offscreen.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_script.h"

namespace platform {

struct NativeWindow {
  HWND hwnd;
  int x, y, width, height;
  bool visible;
};

struct NativeContext {
  OffscreenGL gl;
  NativeWindow* window;
};

}  // namespace platform

namespace headless {
namespace {

using platform::NativeContext;
using platform::NativeWindow;

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;

struct Headless {
  int screenWidth = kScreenWidth;
  int screenHeight = kScreenHeight;

  int presented = 0;
  std::function<void()> onPresent;
  bool keepPixels = true;
  std::vector<unsigned char> pixels;
  int frameWidth = 0;
  int frameHeight = 0;

  NativeContext* current = nullptr;
  std::vector<std::unique_ptr<NativeWindow>> windows;
  std::vector<std::unique_ptr<NativeContext>> contexts;
};

Headless& H() {
  static Headless state;
  return state;
}

NativeWindow* NativeOf(HWND hwnd) {
  for (auto& w : H().windows) {
    if (w->hwnd == hwnd) return w.get();
  }
  return nullptr;
}

void Maximize(NativeWindow* window) {
  // The whole screen, frameless.
  window->x = window->y = 0;
  window->width = H().screenWidth;
  window->height = H().screenHeight;
  platform::WindowMoved(window->hwnd, 0, 0);
  platform::WindowResized(window->hwnd, window->width, window->height,
                          platform::SizeState::kMaximized);
}

}  // namespace

void SizeNativeWindow(HWND hwnd, int width, int height) {
  if (NativeWindow* w = NativeOf(hwnd)) {
    w->width = width;
    w->height = height;
  }
}

}  // namespace headless

// ---- The seam -----------------------------------------------------------------

namespace platform {

using headless::H;

NativeWindow* CreateNativeWindow(const WindowDescription& d, std::string*) {
  H().windows.push_back(
      std::make_unique<NativeWindow>(NativeWindow{d.handle, d.x, d.y, d.width, d.height, false}));
  return H().windows.back().get();
}

void ShowNativeWindow(NativeWindow* window, ShowState state) {
  window->visible = state != ShowState::kHidden;
  if (state == ShowState::kMaximized) {
    headless::Maximize(window);
  } else if (state == ShowState::kMinimized) {
    WindowResized(window->hwnd, 0, 0, SizeState::kMinimized);
  }
}

void PlaceNativeWindow(NativeWindow* window, const Placement& p) {
  if (p.move) {
    window->x = p.x;
    window->y = p.y;
  }
  if (p.resize) {
    window->width = p.width;
    window->height = p.height;
  }
}

void DestroyNativeWindow(NativeWindow* window) {
  for (auto& c : H().contexts) {
    if (c->window == window) c->window = nullptr;
  }
  auto& windows = H().windows;
  for (auto it = windows.begin(); it != windows.end(); ++it) {
    if (it->get() == window) {
      windows.erase(it);
      return;
    }
  }
}

void SetNativeIcon(NativeWindow*, const IconPixels&) {}

void GetScreenSize(int* width, int* height) {
  *width = H().screenWidth;
  *height = H().screenHeight;
}

void PollInput() {
  headless::DeliverDueSteps();
}

void WaitInput(int) {
  headless::ProgramWaits();
}

bool ClockTimers() {
  return false;
}

void SetMouseCapture(NativeWindow*, bool) {}

bool ShowMessageBox(NativeWindow*, const std::string&, const std::string&, BoxKind) {
  return true;  // boxes are recorded through the core's hook, which keeps their type bits
}

std::vector<SurfaceFormat> SurfaceFormats() {
  // The format on offer is what the offscreen GL really gives, probed once.
  static const std::vector<SurfaceFormat> formats = [] {
    std::vector<SurfaceFormat> found;
    OffscreenGL probe;
    std::string error;
    if (!probe.Create(1, 1, &error)) {
      // A picture drawn some other way would not be the viewer's picture.
      fprintf(stderr, "error: cannot draw without a display: %s\n", error.c_str());
      fflush(stderr);
      exit(1);
    }
    found.push_back(SurfaceFormat{probe.depthBits(), true});
    return found;
  }();
  return formats;
}

NativeContext* CreateGLContext(NativeWindow* window, int, std::string* error) {
  auto context = std::make_unique<NativeContext>();
  if (!context->gl.Create(window->width > 0 ? window->width : 1,
                          window->height > 0 ? window->height : 1, error)) {
    return nullptr;
  }
  context->window = window;
  H().contexts.push_back(std::move(context));
  return H().contexts.back().get();
}

bool MakeGLCurrent(NativeWindow* window, NativeContext* context) {
  if (context == nullptr) {
    OffscreenGL::ReleaseCurrent();
    H().current = nullptr;
    return true;
  }
  if (!context->gl.MakeCurrent()) return false;
  context->window = window;
  H().current = context;
  return true;
}

void DeleteGLContext(NativeContext* context) {
  if (H().current == context) {
    OffscreenGL::ReleaseCurrent();
    H().current = nullptr;
  }
  auto& contexts = H().contexts;
  for (auto it = contexts.begin(); it != contexts.end(); ++it) {
    if (it->get() == context) {
      contexts.erase(it);
      return;
    }
  }
}

bool Present(NativeWindow*, NativeContext* context) {
  // Every swap counts for the script, also one with nothing to present, so
  // that a program that never waits still reaches its steps or fails.
  headless::FrameCounted();
  if (context == nullptr) return false;
  NativeContext* previous = H().current;
  if (previous != context && !context->gl.MakeCurrent()) return false;
  glFinish();
  ++H().presented;
  H().frameWidth = context->gl.width();
  H().frameHeight = context->gl.height();
  if (H().keepPixels) H().pixels = context->gl.ReadPixels();
  if (H().onPresent) {
    auto callback = H().onPresent;
    callback();
  }
  if (previous != context) {
    if (previous != nullptr) {
      previous->gl.MakeCurrent();
    } else {
      OffscreenGL::ReleaseCurrent();
    }
  }
  return true;
}

}  // namespace platform

// ---- Test controls (headless.h) -------------------------------------------------

namespace headless {

void Reset() {
  platform::ResetCore();  // deletes the program's contexts and windows through the seam
  ResetScript();
  ResetWatch();
  platform::OffscreenGL::ReleaseCurrent();
  H() = Headless();
}

void SetScreenSize(int width, int height) {
  H().screenWidth = width;
  H().screenHeight = height;
}

int PresentedFrames() {
  return H().presented;
}

void OnPresent(std::function<void()> callback) {
  H().onPresent = std::move(callback);
}

void KeepFramePixels(bool keep) {
  H().keepPixels = keep;
}

const std::vector<unsigned char>& LastFramePixels() {
  return H().pixels;
}

int FrameWidth() {
  return H().frameWidth;
}

int FrameHeight() {
  return H().frameHeight;
}

bool MainWindow(WindowInfo* info) {
  const HWND hwnd = platform::NewestWindow();
  if (hwnd == nullptr) return false;
  if (info != nullptr) platform::DescribeWindow(hwnd, info);
  return true;
}

}  // namespace headless
