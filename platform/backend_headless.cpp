// The headless backend: no display. Windows are records, GL renders into an
// offscreen Mesa EGL target of the window's size, input comes from a script
// that a test writes, message boxes are recorded and answered, failures can be
// injected, and timers fire only when the script says so (TimerTick), so that
// every run is deterministic. The test controls are those of headless.h.
#include <GL/gl.h>

#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/backend.h"
#include "platform/egl_offscreen.h"
#include "platform/headless.h"

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

namespace {

using platform::NativeContext;
using platform::NativeWindow;

constexpr long long kDefaultFrameLimit = 1000000;
// Entries kept in the call log; CallCount counts past it.
constexpr size_t kCallLogLimit = 200000;
// The wParam of WM_PALETTECHANGED when another program changed the palette.
const HWND kOtherWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7D0000F0));

struct Step {
  int afterFrames;
  std::function<void()> deliver;
};

struct Headless {
  int screenWidth = 1280;
  int screenHeight = 1024;

  std::deque<Step> steps;
  long long framesSinceDelivery = 0;          // SwapBuffers calls since the last step was delivered
  long long frameLimit = kDefaultFrameLimit;  // ... at which the run fails
  bool failed = false;
  bool buttonHeld = false;

  std::vector<headless::MessageBoxRecord> boxes;
  std::function<int(const headless::MessageBoxRecord&)> answer;

  std::vector<std::string> log;
  std::map<std::string, int> counts;  // by function name
  bool logFullNoted = false;

  headless::Faults faults;
  bool havePalette = false;
  headless::PaletteRecord palette;

  int presented = 0;
  std::function<void()> onPresent;
  bool keepPixels = true;
  std::vector<unsigned char> pixels;
  int frameWidth = 0;
  int frameHeight = 0;

  NativeContext* current = nullptr;
  std::vector<std::unique_ptr<NativeWindow>> windows;
};

Headless& H() {
  static Headless state;
  return state;
}

void Fail(const std::string& why) {
  if (H().failed) return;
  H().failed = true;
  fprintf(stderr, "headless: input script failed: %s\n", why.c_str());
  platform::AbortMessageLoop(headless::kScriptFailedExitCode);
}

// Delivers the next step (removing it first: delivering may add steps).
void DeliverFront() {
  Step step = std::move(H().steps.front());
  H().steps.pop_front();
  H().framesSinceDelivery = 0;
  step.deliver();
}

void DeliverDueSteps() {
  while (!H().failed && !H().steps.empty() && H().steps.front().afterFrames >= 0 &&
         H().framesSinceDelivery >= H().steps.front().afterFrames) {
    DeliverFront();
  }
}

void AddStep(int afterFrames, std::function<void()> deliver) {
  if (afterFrames < 0) afterFrames = headless::kWhenWaiting;
  H().steps.push_back(Step{afterFrames, std::move(deliver)});
}

// The character that a key of this virtual key and shift state yields, on a
// US keyboard: the inverse used to script Type(c).
int VirtualKeyOf(int c) {
  if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
  if (c >= 'A' && c <= 'Z') return c;
  if (c >= '0' && c <= '9') return c;
  switch (c) {
    case 27:
      return VK_ESCAPE;
    case '\r':
    case '\n':
      return VK_RETURN;
    case '\b':
      return VK_BACK;
    case '\t':
      return VK_TAB;
    case ' ':
      return VK_SPACE;
    case ')':
      return '0';
    case '!':
      return '1';
    case '@':
      return '2';
    case '#':
      return '3';
    case '$':
      return '4';
    case '%':
      return '5';
    case '^':
      return '6';
    case '&':
      return '7';
    case '*':
      return '8';
    case '(':
      return '9';
    case ';':
    case ':':
      return 0xBA;
    case '=':
    case '+':
      return 0xBB;
    case ',':
    case '<':
      return 0xBC;
    case '-':
    case '_':
      return 0xBD;
    case '.':
    case '>':
      return 0xBE;
    case '/':
    case '?':
      return 0xBF;
    case '`':
    case '~':
      return 0xC0;
    case '[':
    case '{':
      return 0xDB;
    case '\\':
    case '|':
      return 0xDC;
    case ']':
    case '}':
      return 0xDD;
    case '\'':
    case '"':
      return 0xDE;
    default:
      return 0xE5;  // no key of its own: the character comes as typed text
  }
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

class HeadlessBackend : public platform::Backend {
 public:
  // Contexts that the program never deleted end with the process.
  ~HeadlessBackend() override {
    for (NativeContext* c : contexts_) delete c;
  }

  NativeWindow* CreateNativeWindow(HWND hwnd, const std::string&, int x, int y, int width,
                                   int height, DWORD, std::string*) override {
    H().windows.push_back(
        std::make_unique<NativeWindow>(NativeWindow{hwnd, x, y, width, height, false}));
    return H().windows.back().get();
  }

  void ShowNativeWindow(NativeWindow* window, int cmdShow) override {
    window->visible = cmdShow != SW_HIDE;
    if (cmdShow == SW_SHOWMAXIMIZED) {
      // Maximized: the whole screen, frameless.
      window->x = window->y = 0;
      window->width = H().screenWidth;
      window->height = H().screenHeight;
      platform::WindowMoved(window->hwnd, 0, 0);
      platform::WindowResized(window->hwnd, window->width, window->height, SIZE_MAXIMIZED);
    } else if (cmdShow == SW_MINIMIZE || cmdShow == SW_SHOWMINIMIZED || cmdShow == 7 ||
               cmdShow == 11) {
      platform::WindowResized(window->hwnd, 0, 0, SIZE_MINIMIZED);
    }
  }

  void PlaceNativeWindow(NativeWindow* window, int x, int y, int width, int height,
                         UINT flags) override {
    if (!(flags & SWP_NOMOVE)) {
      window->x = x;
      window->y = y;
    }
    if (!(flags & SWP_NOSIZE)) {
      window->width = width;
      window->height = height;
    }
  }

  void DestroyNativeWindow(NativeWindow* window) override {
    for (NativeContext* c : contexts_) {
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

  void SetNativeIcon(NativeWindow*, int) override {}

  void GetScreenSize(int* width, int* height) override {
    *width = H().screenWidth;
    *height = H().screenHeight;
  }

  void PollInput() override { DeliverDueSteps(); }

  void WaitInput(int) override {
    DeliverDueSteps();
    if (H().failed) return;
    if (H().steps.empty()) {
      Fail("the program waits for input and the script has no step left");
    } else if (H().steps.front().afterFrames == headless::kWhenWaiting) {
      DeliverFront();
    } else {
      Fail("the program waits for input but the next step waits for " +
           std::to_string(H().steps.front().afterFrames - H().framesSinceDelivery) +
           " more frames, which a waiting program never presents");
    }
  }

  bool ClockTimers() const override { return false; }

  void SetMouseCapture(NativeWindow*, bool) override {}

  int ShowMessageBox(HWND ownerHandle, NativeWindow*, const std::string& text,
                     const std::string& caption, UINT type) override {
    headless::MessageBoxRecord record{ownerHandle, text, caption, type};
    H().boxes.push_back(record);
    fprintf(stderr, "headless: MessageBoxA caption=\"%s\" text=\"%s\" type=%u\n",
            Escaped(caption).c_str(), Escaped(text).c_str(), type);
    fflush(stderr);
    if (!H().answer) return IDOK;
    auto answer = H().answer;  // the callback may replace itself
    return answer(record);
  }

  std::vector<PIXELFORMATDESCRIPTOR> PixelFormats() override {
    if (!probed_) {
      // The format on offer is what the offscreen GL really gives.
      probed_ = true;
      platform::OffscreenGL probe;
      std::string error;
      if (probe.Create(1, 1, &error)) {
        formats_.push_back(platform::TrueColorFormat(probe.depthBits()));
      } else {
        fprintf(stderr, "headless: no pixel format can be had: %s\n", error.c_str());
      }
    }
    return formats_;
  }

  NativeContext* CreateGLContext(NativeWindow* window, int, std::string* error) override {
    auto context = std::make_unique<NativeContext>();
    if (!context->gl.Create(window->width > 0 ? window->width : 1,
                            window->height > 0 ? window->height : 1, error)) {
      return nullptr;
    }
    context->window = window;
    contexts_.push_back(context.get());
    return context.release();
  }

  bool MakeGLCurrent(NativeWindow* window, NativeContext* context) override {
    if (context == nullptr) {
      platform::OffscreenGL::ReleaseCurrent();
      H().current = nullptr;
      return true;
    }
    if (!context->gl.MakeCurrent()) return false;
    context->window = window;
    H().current = context;
    return true;
  }

  void DeleteGLContext(NativeContext* context) override {
    if (H().current == context) {
      platform::OffscreenGL::ReleaseCurrent();
      H().current = nullptr;
    }
    for (auto it = contexts_.begin(); it != contexts_.end(); ++it) {
      if (*it == context) {
        contexts_.erase(it);
        break;
      }
    }
    delete context;
  }

  bool Present(NativeWindow*, NativeContext* context) override {
    // Every swap counts for the script, also one with nothing to present, so
    // that a program that never waits still reaches its steps or fails.
    if (++H().framesSinceDelivery >= H().frameLimit && !H().failed) {
      Fail(std::to_string(H().frameLimit) +
           " frames were presented without a step "
           "becoming due");
    }
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
        platform::OffscreenGL::ReleaseCurrent();
      }
    }
    return true;
  }

  bool LogsCalls() const override { return true; }

  void LogCall(std::string entry) override {
    const size_t blank = entry.find(' ');
    ++H().counts[blank == std::string::npos ? entry : entry.substr(0, blank)];
    if (H().log.size() < kCallLogLimit) {
      H().log.push_back(std::move(entry));
    } else if (!H().logFullNoted) {
      H().logFullNoted = true;
      fprintf(stderr, "headless: the call log keeps its first %zu entries; CallCount counts on\n",
              kCallLogLimit);
    }
  }

  bool Fails(platform::Failure failure) override {
    const headless::Faults& f = H().faults;
    switch (failure) {
      case platform::Failure::kRegisterClass:
        return f.registerClassFails;
      case platform::Failure::kCreateWindow:
        return f.createWindowFails;
      case platform::Failure::kGetDC:
        return f.getDCFails;
      case platform::Failure::kChoosePixelFormat:
        return f.choosePixelFormatFails;
      case platform::Failure::kSetPixelFormat:
        return f.setPixelFormatFails;
      case platform::Failure::kCreatePalette:
        return f.createPaletteFails;
      case platform::Failure::kCreateContext:
        return f.createContextFails;
    }
    return false;
  }

  void AdjustDescription(int, PIXELFORMATDESCRIPTOR* pfd) override {
    const headless::Faults& f = H().faults;
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

  void NotePalette(WORD version, const PALETTEENTRY* entries, int count) override {
    H().havePalette = true;
    H().palette.version = version;
    H().palette.entries.assign(entries, entries + count);
  }

  // Contexts still alive, for Reset.
  void DeleteAllContexts() {
    while (!contexts_.empty()) DeleteGLContext(contexts_.back());
  }

 private:
  bool probed_ = false;
  std::vector<PIXELFORMATDESCRIPTOR> formats_;
  std::vector<NativeContext*> contexts_;
};

HeadlessBackend& TheHeadless() {
  static HeadlessBackend backend;
  return backend;
}

HWND Main() {
  return platform::NewestWindow();
}

void Mouse(UINT message, int x, int y) {
  const HWND hwnd = Main();
  if (hwnd == nullptr) return;
  if (message == WM_LBUTTONDOWN) H().buttonHeld = true;
  if (message == WM_LBUTTONUP) H().buttonHeld = false;
  platform::MouseInput(hwnd, message, x, y, H().buttonHeld ? MK_LBUTTON : 0);
}

}  // namespace

platform::Backend& platform::TheBackend() {
  return TheHeadless();
}

namespace headless {

void Reset() {
  platform::ResetCore();  // deletes the contexts and windows through the backend
  TheHeadless().DeleteAllContexts();
  Headless& h = H();
  h.screenWidth = 1280;
  h.screenHeight = 1024;
  h.steps.clear();
  h.framesSinceDelivery = 0;
  h.frameLimit = kDefaultFrameLimit;
  h.failed = false;
  h.buttonHeld = false;
  h.boxes.clear();
  h.answer = nullptr;
  h.log.clear();
  h.counts.clear();
  h.logFullNoted = false;
  h.faults = Faults();
  h.havePalette = false;
  h.palette = PaletteRecord();
  h.presented = 0;
  h.onPresent = nullptr;
  h.keepPixels = true;
  h.pixels.clear();
  h.frameWidth = h.frameHeight = 0;
  h.current = nullptr;
  h.windows.clear();
}

void SetScreenSize(int width, int height) {
  H().screenWidth = width;
  H().screenHeight = height;
}

void SetFrameLimit(long long frames) {
  H().frameLimit = frames;
}

void Press(int x, int y, int afterFrames) {
  AddStep(afterFrames, [x, y] { Mouse(WM_LBUTTONDOWN, x, y); });
}

void Move(int x, int y, int afterFrames) {
  AddStep(afterFrames, [x, y] { Mouse(WM_MOUSEMOVE, x, y); });
}

void Release(int x, int y, int afterFrames) {
  AddStep(afterFrames, [x, y] { Mouse(WM_LBUTTONUP, x, y); });
}

void Type(int character, int afterFrames) {
  AddStep(afterFrames, [character] {
    const HWND hwnd = Main();
    if (hwnd == nullptr) return;
    platform::PostInput(hwnd, WM_KEYDOWN, static_cast<WPARAM>(VirtualKeyOf(character)), 1,
                        character);
  });
}

void Close(int afterFrames) {
  AddStep(afterFrames, [] {
    if (HWND hwnd = Main()) platform::PostInput(hwnd, WM_CLOSE, 0, 0);
  });
}

void Resize(int width, int height, int afterFrames) {
  AddStep(afterFrames, [width, height] {
    const HWND hwnd = Main();
    if (hwnd == nullptr) return;
    TheHeadless().PlaceNativeWindow(platform::NativeOf(hwnd), 0, 0, width, height, SWP_NOMOVE);
    platform::WindowResized(hwnd, width, height, SIZE_RESTORED);
  });
}

void PaletteChanged(bool fromThisWindow, int afterFrames) {
  AddStep(afterFrames, [fromThisWindow] {
    const HWND hwnd = Main();
    if (hwnd == nullptr) return;
    const HWND changer = fromThisWindow ? hwnd : kOtherWindow;
    // Windows sends this one to every top-level window.
    platform::SendFromSystem(hwnd, WM_PALETTECHANGED, reinterpret_cast<WPARAM>(changer), 0);
  });
}

void QueryNewPalette(int afterFrames) {
  AddStep(afterFrames, [] {
    if (HWND hwnd = Main()) platform::SendFromSystem(hwnd, WM_QUERYNEWPALETTE, 0, 0);
  });
}

void TimerTick(int afterFrames) {
  AddStep(afterFrames, [] { platform::FireAllTimers(); });
}

void Post(UINT message, WPARAM wParam, LPARAM lParam, int afterFrames) {
  AddStep(afterFrames,
          [message, wParam, lParam] { platform::PostInput(Main(), message, wParam, lParam); });
}

void Call(std::function<void()> callback, int afterFrames) {
  AddStep(afterFrames, std::move(callback));
}

size_t PendingSteps() {
  return H().steps.size();
}
bool ScriptFailed() {
  return H().failed;
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
  const HWND hwnd = Main();
  if (hwnd == nullptr) return false;
  if (info != nullptr) {
    platform::WindowFacts f;
    platform::GetWindowFacts(hwnd, &f);
    *info = WindowInfo{hwnd, f.className, f.title, f.style,  f.exStyle,
                       f.x,  f.y,         f.width, f.height, f.visible};
  }
  return true;
}

}  // namespace headless
