// The headless backend: no display, every run deterministic.
//
// Implements: windows as records (no frame: client area = outer size; a
// maximized window fills the screen); GL contexts rendering offscreen through
// Mesa EGL at the window's size, one surface format of the depth that EGL
// really gives; presenting, which counts the frame for the input script and
// keeps its pixels; input from the script of headless_script.cpp; message
// boxes recorded, echoed to stderr and answered; timers that fire only when
// the script says so; the call log and injected failures of headless.h,
// through the core's hooks.
// Leaves out: window icons, mouse capture on any native level (the core's
// routing is all there is), a clock.
#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/backend.h"
#include "platform/core_hooks.h"
#include "platform/egl_offscreen.h"
#include "platform/headless.h"
#include "platform/headless_script.h"

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

// Entries kept in the call log; CallCount counts past it.
constexpr size_t kCallLogLimit = 200000;
constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;

struct Headless {
  int screenWidth = kScreenWidth;
  int screenHeight = kScreenHeight;

  std::vector<MessageBoxRecord> boxes;
  std::function<int(const MessageBoxRecord&)> answer;

  std::vector<std::string> log;
  std::map<std::string, int> counts;  // by function name
  bool logFullNoted = false;

  Faults faults;
  bool havePalette = false;
  PaletteRecord palette;

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

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

void LogCall(const char* entry) {
  const char* blank = strchr(entry, ' ');
  ++H().counts[blank == nullptr ? std::string(entry) : std::string(entry, blank)];
  if (H().log.size() < kCallLogLimit) {
    H().log.emplace_back(entry);
  } else if (!H().logFullNoted) {
    H().logFullNoted = true;
    fprintf(stderr, "headless: the call log keeps its first %zu entries; CallCount counts on\n",
            kCallLogLimit);
  }
}

bool Fails(platform::Fault fault) {
  const Faults& f = H().faults;
  switch (fault) {
    case platform::Fault::kRegisterClass:
      return f.registerClassFails;
    case platform::Fault::kCreateWindow:
      return f.createWindowFails;
    case platform::Fault::kGetDC:
      return f.getDCFails;
    case platform::Fault::kChoosePixelFormat:
      return f.choosePixelFormatFails;
    case platform::Fault::kSetPixelFormat:
      return f.setPixelFormatFails;
    case platform::Fault::kCreatePalette:
      return f.createPaletteFails;
    case platform::Fault::kCreateContext:
      return f.createContextFails;
  }
  return false;
}

void Describe(int, PIXELFORMATDESCRIPTOR* pfd) {
  const Faults& f = H().faults;
  if (!f.paletteFormat) return;
  pfd->dwFlags |= PFD_NEED_PALETTE;
  pfd->iPixelType = f.pixelType;
  pfd->cColorBits = f.colorBits;
  pfd->cRedBits = f.redBits;
  pfd->cRedShift = f.redShift;
  pfd->cGreenBits = f.greenBits;
  pfd->cGreenShift = f.greenShift;
  pfd->cBlueBits = f.blueBits;
  pfd->cBlueShift = f.blueShift;
}

void NotePalette(WORD version, const PALETTEENTRY* entries, int count) {
  H().havePalette = true;
  H().palette.version = version;
  H().palette.entries.assign(entries, entries + count);
}

int RecordBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  MessageBoxRecord record{owner, text, caption, type};
  H().boxes.push_back(record);
  fprintf(stderr, "headless: MessageBoxA caption=\"%s\" text=\"%s\" type=%u\n",
          Escaped(caption).c_str(), Escaped(text).c_str(), type);
  fflush(stderr);
  if (!H().answer) return IDOK;
  auto answer = H().answer;  // the callback may replace itself
  return answer(record);
}

// The hooks are in place before the program makes its first call.
const bool kHooksInstalled = [] {
  platform::InstallCoreHooks(platform::CoreHooks{LogCall, Fails, Describe, NotePalette, RecordBox});
  return true;
}();

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
  (void)headless::kHooksInstalled;
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

void SetNativeIcon(NativeWindow*, int) {}

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
    if (probe.Create(1, 1, &error)) {
      found.push_back(SurfaceFormat{probe.depthBits(), true});
    } else {
      fprintf(stderr, "headless: no pixel format can be had: %s\n", error.c_str());
    }
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
  platform::OffscreenGL::ReleaseCurrent();
  H() = Headless();
}

void SetScreenSize(int width, int height) {
  H().screenWidth = width;
  H().screenHeight = height;
}

const std::vector<MessageBoxRecord>& MessageBoxes() {
  return H().boxes;
}

void OnMessageBox(std::function<int(const MessageBoxRecord&)> answer) {
  H().answer = std::move(answer);
}

const std::vector<std::string>& CallLog() {
  return H().log;
}

int CallCount(const std::string& function) {
  if (function.find(' ') == std::string::npos) {
    auto it = H().counts.find(function);
    return it == H().counts.end() ? 0 : it->second;
  }
  int n = 0;  // a name with arguments: matched against the kept log
  for (const std::string& entry : H().log) {
    if (entry.compare(0, function.size(), function) == 0) ++n;
  }
  return n;
}

void ClearCallLog() {
  H().log.clear();
  H().counts.clear();
  H().logFullNoted = false;
}

void SetFaults(const Faults& faults) {
  H().faults = faults;
}

const PaletteRecord* LastPalette() {
  return H().havePalette ? &H().palette : nullptr;
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
