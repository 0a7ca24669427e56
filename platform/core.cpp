// The core of our Windows layer: the USER, GDI and WGL calls of
// platform/win32.h with Windows' own semantics as far as the viewer relies on
// them. It owns every Windows object; native windows, GL contexts, input and
// message boxes come from the backend linked into the program (backend.h).
//
// Everything runs on one thread. Window procedures are called synchronously
// and may call back into any function here (destroy the window being served,
// send or post messages, resize, quit), so no function holds a pointer to a
// window record across a call of a procedure: records are looked up again by
// handle afterwards.
#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/backend.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// Handles of objects that the core creates come from one counter that never
// restarts, so a stale handle never names a later object. Fixed handles (the
// module, icons, cursors, stock objects) live far above its range.
constexpr uintptr_t kFirstHandle = 0x10000;
constexpr uintptr_t kModuleHandle = 0x400000;
constexpr uintptr_t kStockPalette = 0x7D000001;
constexpr uintptr_t kScreenDC = 0x7D000002;
constexpr uintptr_t kProgramIconBase = 0x7E000000;
constexpr uintptr_t kSystemIconBase = 0x7E100000;
constexpr uintptr_t kSystemCursorBase = 0x7E200000;
// The one icon group resource of the program.
constexpr int kProgramIconId = 101;
constexpr UINT kMinimumTimerPeriod = 10;
constexpr UINT kGdiError = 0xFFFFFFFFu;

struct WindowClass {
  std::string name;
  ATOM atom;
  UINT style;
  WNDPROC proc;
  HICON icon;
};

struct Window {
  uintptr_t id;
  std::string className;
  std::string title;
  WNDPROC proc;
  UINT classStyle;
  DWORD style;
  DWORD exStyle;
  int x, y, width, height;
  WPARAM sizeType = SIZE_RESTORED;
  bool visible = false;
  bool invalid = false;  // has an update region (only while visible)
  bool destroying = false;
  NativeWindow* native = nullptr;
  uintptr_t dc;
  int pixelFormat = 0;
  uintptr_t palette = kStockPalette;
};

struct QueuedMessage {
  MSG msg;
  int character = kNoCharacter;  // for WM_KEYDOWN: what the key yields
  // Mouse input is given its window when it is taken from the queue, as on
  // Windows, so that a capture set while handling a press already holds for
  // the motion queued behind it. Until then msg.hwnd is the window under the
  // pointer and msg.pt the point on the screen.
  bool mouse = false;
};

struct Timer {
  uintptr_t window;  // 0: a thread timer
  UINT_PTR id;
  UINT period;
  TIMERPROC proc;
  Clock::time_point due;
  bool pending;
};

struct Context {
  NativeContext* native;
  uintptr_t window;  // the window it was created on (0 once that is gone)
  int format;
};

struct State {
  uintptr_t nextHandle = kFirstHandle;
  ATOM nextAtom = 0xC000;
  std::map<std::string, WindowClass> classes;            // by lower-case name
  std::map<uintptr_t, std::unique_ptr<Window>> windows;  // id order = creation order
  std::map<uintptr_t, uintptr_t> dcs;                    // device context -> window
  std::deque<QueuedMessage> queue;
  std::vector<Timer> timers;
  std::map<uintptr_t, Context> contexts;
  uintptr_t currentContext = 0;
  std::map<uintptr_t, std::vector<PALETTEENTRY>> palettes;
  bool quitPending = false;
  int quitCode = 0;
  bool aborted = false;
  int abortCode = 0;
  uintptr_t capture = 0;
  POINT cursor = {0, 0};
  // The key down that GetMessageA / PeekMessageA(PM_REMOVE) last returned.
  bool haveKeyDown = false;
  MSG lastKeyDown = {};
  int lastKeyDownCharacter = kNoCharacter;
};

State& S() {
  static State state;
  return state;
}

Backend& B() {
  return TheBackend();
}

const Clock::time_point& StartTime() {
  static const Clock::time_point start = Clock::now();
  return start;
}

DWORD MessageTime() {
  return static_cast<DWORD>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - StartTime()).count());
}

uintptr_t NewHandle() {
  uintptr_t h = S().nextHandle;
  S().nextHandle += 4;
  return h;
}

template <typename H>
uintptr_t Id(H handle) {
  return reinterpret_cast<uintptr_t>(handle);
}
HWND ToHwnd(uintptr_t id) {
  return reinterpret_cast<HWND>(id);
}

__attribute__((format(printf, 1, 2))) void Log(const char* format, ...) {
  if (!B().LogsCalls()) return;
  char buffer[256];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  B().LogCall(buffer);
}

std::string Lower(const char* text) {
  std::string s(text);
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::string ClassNameText(LPCSTR name) {
  if (name == nullptr) return "";
  if (IS_INTRESOURCE(name)) return "#" + std::to_string(LOWORD(name));
  return name;
}

Window* FindWindow(HWND hwnd) {
  auto it = S().windows.find(Id(hwnd));
  return it == S().windows.end() ? nullptr : it->second.get();
}

Window* WindowOfDC(HDC hdc) {
  auto it = S().dcs.find(Id(hdc));
  if (it == S().dcs.end()) return nullptr;
  return FindWindow(ToHwnd(it->second));
}

LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = FindWindow(hwnd);
  if (w == nullptr) return 0;
  WNDPROC proc = w->proc;  // the record may be gone once the procedure returns
  return proc(hwnd, message, wParam, lParam);
}

void Enqueue(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, int character) {
  QueuedMessage q;
  q.msg.hwnd = hwnd;
  q.msg.message = message;
  q.msg.wParam = wParam;
  q.msg.lParam = lParam;
  q.msg.time = MessageTime();
  q.msg.pt = S().cursor;
  q.character = character;
  S().queue.push_back(q);
}

bool Matches(HWND filter, UINT first, UINT last, HWND hwnd, UINT message) {
  if (filter != nullptr && hwnd != filter) return false;
  if (first == 0 && last == 0) return true;
  return message >= first && message <= last;
}

void UpdateTimers() {
  if (!B().ClockTimers()) return;
  const Clock::time_point now = Clock::now();
  for (Timer& t : S().timers) {
    if (!t.pending && now >= t.due) {
      t.pending = true;
      t.due = now + std::chrono::milliseconds(t.period);
    }
  }
}

// Milliseconds until the next timer is due; -1 if none will be.
int NextTimerTimeout() {
  if (!B().ClockTimers() || S().timers.empty()) return -1;
  const Clock::time_point now = Clock::now();
  long long best = -1;
  for (const Timer& t : S().timers) {
    long long ms =
        t.pending ? 0
                  : std::chrono::duration_cast<std::chrono::milliseconds>(t.due - now).count() + 1;
    if (ms < 0) ms = 0;
    if (best < 0 || ms < best) best = ms;
  }
  return static_cast<int>(std::min<long long>(best, 0x7fffffff));
}

// Gives queued mouse input its window and client point: the capture window if
// there is one, else the window under the pointer if the point is inside its
// client area. False if no window of ours gets it.
bool RouteMouse(QueuedMessage* q) {
  State& s = S();
  Window* to = nullptr;
  if (s.capture != 0) {
    to = FindWindow(ToHwnd(s.capture));
  } else {
    to = FindWindow(q->msg.hwnd);
    if (to != nullptr) {
      const int x = q->msg.pt.x - to->x;
      const int y = q->msg.pt.y - to->y;
      if (x < 0 || y < 0 || x >= to->width || y >= to->height) to = nullptr;
    }
  }
  if (to == nullptr) return false;
  const int cx = q->msg.pt.x - to->x;
  const int cy = q->msg.pt.y - to->y;
  q->msg.hwnd = ToHwnd(to->id);
  q->msg.lParam = MAKELPARAM(static_cast<short>(cx), static_cast<short>(cy));
  q->mouse = false;
  return true;
}

// Finds the message that GetMessageA would return now, in Windows' order:
// posted messages and input in arrival order, then WM_PAINT for a window that
// needs painting, then WM_TIMER, then WM_QUIT. Removes it if asked (a paint
// message stays until the window is validated).
bool TakeMessage(MSG* out, HWND filter, UINT first, UINT last, bool remove) {
  State& s = S();
  if (s.aborted) {
    *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(s.abortCode), 0, MessageTime(), s.cursor};
    return true;
  }
  UpdateTimers();
  for (auto it = s.queue.begin(); it != s.queue.end();) {
    if (it->mouse && !RouteMouse(&*it)) {
      it = s.queue.erase(it);  // it belongs to no window of ours
      continue;
    }
    if (!Matches(filter, first, last, it->msg.hwnd, it->msg.message)) {
      ++it;
      continue;
    }
    *out = it->msg;
    if (remove) {
      if (out->message == WM_KEYDOWN) {
        s.haveKeyDown = true;
        s.lastKeyDown = *out;
        s.lastKeyDownCharacter = it->character;
      }
      s.queue.erase(it);
    }
    return true;
  }
  for (auto& entry : s.windows) {
    const Window& w = *entry.second;
    if (w.visible && w.invalid && Matches(filter, first, last, ToHwnd(w.id), WM_PAINT)) {
      *out = MSG{ToHwnd(w.id), WM_PAINT, 0, 0, MessageTime(), s.cursor};
      return true;
    }
  }
  for (Timer& t : s.timers) {
    if (t.pending && Matches(filter, first, last, ToHwnd(t.window), WM_TIMER)) {
      *out = MSG{ToHwnd(t.window), WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc),
                 MessageTime(),    s.cursor};
      if (remove) t.pending = false;
      return true;
    }
  }
  if (s.quitPending && filter == nullptr) {
    *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(s.quitCode), 0, MessageTime(), s.cursor};
    if (remove) s.quitPending = false;
    return true;
  }
  return false;
}

void Invalidate(Window* w) {
  if (w->visible) w->invalid = true;
}

void SendSize(HWND hwnd, WPARAM type, int width, int height) {
  Send(hwnd, WM_SIZE, type, MAKELPARAM(width, height));
}

BOOL DestroyWindowImpl(HWND hwnd) {
  Window* w = FindWindow(hwnd);
  if (w == nullptr || w->destroying) return FALSE;
  w->destroying = true;
  Send(hwnd, WM_DESTROY, 0, 0);

  // The procedure may have done anything; look the record up again.
  w = FindWindow(hwnd);
  if (w == nullptr) return TRUE;
  State& s = S();
  const uintptr_t id = w->id;
  s.timers.erase(std::remove_if(s.timers.begin(), s.timers.end(),
                                [id](const Timer& t) { return t.window == id; }),
                 s.timers.end());
  s.queue.erase(std::remove_if(s.queue.begin(), s.queue.end(),
                               [hwnd](const QueuedMessage& q) { return q.msg.hwnd == hwnd; }),
                s.queue.end());
  if (s.haveKeyDown && s.lastKeyDown.hwnd == hwnd) s.haveKeyDown = false;
  if (s.capture == id) {
    s.capture = 0;
    B().SetMouseCapture(w->native, false);
  }
  for (auto& c : s.contexts) {
    if (c.second.window != id) continue;
    if (s.currentContext == c.first) {
      B().MakeGLCurrent(nullptr, nullptr);
      s.currentContext = 0;
    }
    c.second.window = 0;
  }
  s.dcs.erase(w->dc);
  NativeWindow* native = w->native;
  s.windows.erase(id);
  B().DestroyNativeWindow(native);
  return TRUE;
}

int VirtualKeyCharacter(WPARAM vk) {
  if (vk >= 'A' && vk <= 'Z') return static_cast<int>(vk - 'A' + 'a');
  if (vk >= '0' && vk <= '9') return static_cast<int>(vk);
  if (vk >= 0x60 && vk <= 0x69) return static_cast<int>(vk - 0x60 + '0');  // numeric keypad
  switch (vk) {
    case VK_SPACE:
      return ' ';
    case VK_RETURN:
      return '\r';
    case VK_ESCAPE:
      return 27;
    case VK_BACK:
      return '\b';
    case VK_TAB:
      return '\t';
    default:
      return kNoCharacter;
  }
}

bool FormatMatches(const PIXELFORMATDESCRIPTOR& want, const PIXELFORMATDESCRIPTOR& have) {
  constexpr DWORD kDoubleBufferDontCare = 0x40000000;
  constexpr DWORD kStereoDontCare = 0x80000000;
  if (want.iPixelType != have.iPixelType) return false;
  DWORD required = want.dwFlags &
                   (PFD_DRAW_TO_WINDOW | PFD_DRAW_TO_BITMAP | PFD_SUPPORT_GDI | PFD_SUPPORT_OPENGL);
  if (!(want.dwFlags & kDoubleBufferDontCare)) required |= want.dwFlags & PFD_DOUBLEBUFFER;
  if (!(want.dwFlags & kStereoDontCare)) required |= want.dwFlags & PFD_STEREO;
  return (have.dwFlags & required) == required;
}

// Lower is better: a format that falls short of the requested depth or
// colour is worse than one that exceeds it.
int FormatDistance(const PIXELFORMATDESCRIPTOR& want, const PIXELFORMATDESCRIPTOR& have) {
  int d = 0;
  if (have.cDepthBits < want.cDepthBits)
    d += 1000 + (want.cDepthBits - have.cDepthBits);
  else
    d += have.cDepthBits - want.cDepthBits;
  if (have.cColorBits < want.cColorBits) d += 1000 + (want.cColorBits - have.cColorBits);
  if ((want.dwFlags & PFD_DOUBLEBUFFER) != (have.dwFlags & PFD_DOUBLEBUFFER)) d += 100;
  return d;
}

uintptr_t ContextForPresent(const Window& w) {
  State& s = S();
  auto cur = s.contexts.find(s.currentContext);
  if (cur != s.contexts.end() && cur->second.window == w.id) return cur->first;
  for (auto it = s.contexts.rbegin(); it != s.contexts.rend(); ++it) {
    if (it->second.window == w.id) return it->first;
  }
  return 0;
}

}  // namespace

// ---- Entry points for backends ----------------------------------------------

void PostInput(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, int character) {
  Enqueue(hwnd, message, wParam, lParam, character);
}

bool AttachCharacter(int character) {
  // Only the newest key message may take it: text belongs to the last key.
  for (auto it = S().queue.rbegin(); it != S().queue.rend(); ++it) {
    const UINT m = it->msg.message;
    if (m != WM_KEYDOWN && m != WM_KEYUP && m != WM_SYSKEYDOWN && m != WM_SYSKEYUP &&
        m != WM_CHAR) {
      continue;
    }
    if (m != WM_KEYDOWN || it->character != kNoCharacter) return false;
    it->character = character;
    return true;
  }
  return false;
}

void MouseInput(HWND hwnd, UINT message, int x, int y, WPARAM keys) {
  State& s = S();
  const Window* from = FindWindow(hwnd);
  if (from == nullptr) return;
  s.cursor = POINT{from->x + x, from->y + y};
  Enqueue(hwnd, message, keys, 0, kNoCharacter);
  s.queue.back().mouse = true;
}

void WindowResized(HWND hwnd, int width, int height, WPARAM sizeType) {
  Window* w = FindWindow(hwnd);
  if (w == nullptr) return;
  if (sizeType == SIZE_MINIMIZED) {
    // The restored size is kept; the procedure is told the client is empty.
    if (w->sizeType == SIZE_MINIMIZED) return;
    w->sizeType = SIZE_MINIMIZED;
    SendSize(hwnd, SIZE_MINIMIZED, 0, 0);
    return;
  }
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == w->width && height == w->height && sizeType == w->sizeType) return;
  w->width = width;
  w->height = height;
  w->sizeType = sizeType;
  Invalidate(w);
  SendSize(hwnd, sizeType, width, height);
}

void WindowMoved(HWND hwnd, int x, int y) {
  if (Window* w = FindWindow(hwnd)) {
    w->x = x;
    w->y = y;
  }
}

void WindowExposed(HWND hwnd) {
  if (Window* w = FindWindow(hwnd)) Invalidate(w);
}

LRESULT SendFromSystem(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return Send(hwnd, message, wParam, lParam);
}

void FireAllTimers() {
  for (Timer& t : S().timers) t.pending = true;
}

void AbortMessageLoop(int exitCode) {
  S().aborted = true;
  S().abortCode = exitCode;
}

HWND NewestWindow() {
  if (S().windows.empty()) return nullptr;
  return ToHwnd(S().windows.rbegin()->first);
}

bool GetWindowFacts(HWND hwnd, WindowFacts* facts) {
  const Window* w = FindWindow(hwnd);
  if (w == nullptr) return false;
  *facts = WindowFacts{w->className, w->title, w->style,  w->exStyle, w->x,
                       w->y,         w->width, w->height, w->visible};
  return true;
}

NativeWindow* NativeOf(HWND hwnd) {
  const Window* w = FindWindow(hwnd);
  return w == nullptr ? nullptr : w->native;
}

void ResetCore() {
  State& s = S();
  if (s.currentContext != 0) B().MakeGLCurrent(nullptr, nullptr);
  for (auto& c : s.contexts) B().DeleteGLContext(c.second.native);
  if (s.capture != 0) {
    if (Window* w = FindWindow(ToHwnd(s.capture))) B().SetMouseCapture(w->native, false);
  }
  std::vector<NativeWindow*> natives;
  for (auto& w : s.windows) natives.push_back(w.second->native);
  const uintptr_t nextHandle = s.nextHandle;
  const ATOM nextAtom = s.nextAtom;
  s = State();
  s.nextHandle = nextHandle;
  s.nextAtom = nextAtom;
  for (NativeWindow* n : natives) B().DestroyNativeWindow(n);
}

std::string AnsiToUtf8(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

PIXELFORMATDESCRIPTOR TrueColorFormat(int depthBits) {
  PIXELFORMATDESCRIPTOR pfd = {};
  pfd.nSize = sizeof(PIXELFORMATDESCRIPTOR);
  pfd.nVersion = 1;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  pfd.iPixelType = PFD_TYPE_RGBA;
  pfd.cColorBits = 24;
  pfd.cRedBits = 8;
  pfd.cRedShift = 16;
  pfd.cGreenBits = 8;
  pfd.cGreenShift = 8;
  pfd.cBlueBits = 8;
  pfd.cBlueShift = 0;
  pfd.cDepthBits = static_cast<BYTE>(depthBits);
  pfd.iLayerType = PFD_MAIN_PLANE;
  return pfd;
}

}  // namespace platform

using namespace platform;

// ---- USER -------------------------------------------------------------------

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
  Log("RegisterClassA %s", wc != nullptr ? ClassNameText(wc->lpszClassName).c_str() : "(null)");
  if (wc == nullptr || wc->lpfnWndProc == nullptr || wc->lpszClassName == nullptr ||
      IS_INTRESOURCE(wc->lpszClassName) || wc->lpszClassName[0] == '\0') {
    return 0;
  }
  if (B().Fails(Failure::kRegisterClass)) return 0;
  const std::string key = Lower(wc->lpszClassName);
  if (S().classes.count(key) != 0) return 0;  // already registered
  const ATOM atom = S().nextAtom++;
  S().classes[key] = WindowClass{wc->lpszClassName, atom, wc->style, wc->lpfnWndProc, wc->hIcon};
  return atom;
}

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
  Log("LoadIconA %s", ClassNameText(name).c_str());
  if (name == nullptr || !IS_INTRESOURCE(name)) return nullptr;
  const WORD id = LOWORD(name);
  if (instance == nullptr) {
    // The system's own icons (IDI_APPLICATION to IDI_SHIELD).
    if (id >= 32512 && id <= 32518) return reinterpret_cast<HICON>(kSystemIconBase + id);
    return nullptr;
  }
  if (Id(instance) == kModuleHandle && id == kProgramIconId) {
    return reinterpret_cast<HICON>(kProgramIconBase + id);
  }
  return nullptr;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
  Log("LoadCursorA %s", ClassNameText(name).c_str());
  if (instance != nullptr || name == nullptr || !IS_INTRESOURCE(name)) return nullptr;
  const WORD id = LOWORD(name);
  // IDC_ARROW (32512) to IDC_WAIT, and IDC_SIZE to IDC_HELP (32640 to 32651).
  if ((id >= 32512 && id <= 32516) || (id >= 32640 && id <= 32651)) {
    return reinterpret_cast<HCURSOR>(kSystemCursorBase + id);
  }
  return nullptr;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND /*parent*/, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
  Log("CreateWindowExA %s", ClassNameText(className).c_str());
  State& s = S();
  const WindowClass* wc = nullptr;
  if (className != nullptr && IS_INTRESOURCE(className)) {
    for (auto& c : s.classes) {
      if (c.second.atom == LOWORD(className)) wc = &c.second;
    }
  } else if (className != nullptr) {
    auto it = s.classes.find(Lower(className));
    if (it != s.classes.end()) wc = &it->second;
  }
  if (wc == nullptr || B().Fails(Failure::kCreateWindow)) return nullptr;

  int screenW = 0, screenH = 0;
  B().GetScreenSize(&screenW, &screenH);
  if (x == CW_USEDEFAULT) {
    x = 100;
    y = 100;
  }
  if (width == CW_USEDEFAULT) {
    width = screenW * 3 / 4;
    height = screenH * 3 / 4;
  }
  width = std::max(width, 0);
  height = std::max(height, 0);

  auto w = std::make_unique<Window>();
  w->id = NewHandle();
  w->className = wc->name;
  w->title = windowName != nullptr ? windowName : "";
  w->proc = wc->proc;
  w->classStyle = wc->style;
  w->style = style;
  w->exStyle = exStyle;
  w->x = x;
  w->y = y;
  w->width = width;
  w->height = height;
  w->dc = NewHandle();
  std::string error;
  w->native = B().CreateNativeWindow(ToHwnd(w->id), w->title, x, y, width, height, style, &error);
  if (w->native == nullptr) {
    fprintf(stderr, "platform: CreateWindowExA: %s\n", error.c_str());
    return nullptr;
  }
  const HICON icon = wc->icon;
  if (Id(icon) == kProgramIconBase + kProgramIconId) B().SetNativeIcon(w->native, kProgramIconId);

  const HWND hwnd = ToHwnd(w->id);
  s.dcs[w->dc] = w->id;
  s.windows[w->id] = std::move(w);

  CREATESTRUCTA cs = {
      param,      instance,  menu,   nullptr, height, width, y, x, static_cast<LONG>(style),
      windowName, className, exStyle};
  if (Send(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindowImpl(hwnd);
    return nullptr;
  }
  Window* created = FindWindow(hwnd);
  if (created == nullptr || created->destroying) return nullptr;
  if (style & WS_VISIBLE) {
    created->visible = true;
    created->invalid = true;
    B().ShowNativeWindow(created->native, SW_SHOW);
  }
  return hwnd;
}

BOOL WINAPI ShowWindow(HWND hwnd, int cmdShow) {
  Log("ShowWindow %d", cmdShow);
  Window* w = FindWindow(hwnd);
  if (w == nullptr) return FALSE;
  const bool wasVisible = w->visible;
  const bool show = cmdShow != SW_HIDE;
  w->visible = show;
  if (show) {
    w->style |= WS_VISIBLE;
    if (!wasVisible) w->invalid = true;
  } else {
    w->style &= ~static_cast<DWORD>(WS_VISIBLE);
    w->invalid = false;
  }
  // May report a new size (maximize, minimize) through WindowResized.
  B().ShowNativeWindow(w->native, cmdShow);
  return wasVisible ? TRUE : FALSE;
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
  Log("UpdateWindow");
  Window* w = FindWindow(hwnd);
  if (w == nullptr) return FALSE;
  if (w->visible && w->invalid) Send(hwnd, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
  Log("DestroyWindow");
  return DestroyWindowImpl(hwnd);
}

BOOL WINAPI IsWindow(HWND hwnd) {
  return FindWindow(hwnd) != nullptr ? TRUE : FALSE;
}

BOOL WINAPI SetWindowPos(HWND hwnd, HWND /*insertAfter*/, int x, int y, int cx, int cy,
                         UINT flags) {
  Log("SetWindowPos %dx%d flags=%u", cx, cy, flags);
  Window* w = FindWindow(hwnd);
  if (w == nullptr) return FALSE;
  if (!(flags & SWP_NOMOVE)) {
    w->x = x;
    w->y = y;
  }
  bool resized = false;
  if (!(flags & SWP_NOSIZE)) {
    cx = std::max(cx, 0);
    cy = std::max(cy, 0);
    resized = cx != w->width || cy != w->height;
    w->width = cx;
    w->height = cy;
  }
  B().PlaceNativeWindow(w->native, w->x, w->y, w->width, w->height, flags);
  if (resized) {
    w->sizeType = SIZE_RESTORED;
    Invalidate(w);
    SendSize(hwnd, SIZE_RESTORED, cx, cy);
  }
  return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect) {
  Log("GetWindowRect");
  const Window* w = FindWindow(hwnd);
  if (w == nullptr || rect == nullptr) return FALSE;
  *rect = RECT{w->x, w->y, w->x + w->width, w->y + w->height};
  return TRUE;
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
  Log("GetClientRect");
  const Window* w = FindWindow(hwnd);
  if (w == nullptr || rect == nullptr) return FALSE;
  *rect = RECT{0, 0, w->width, w->height};
  return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT* /*rect*/, BOOL /*erase*/) {
  Log("InvalidateRect");
  if (hwnd == nullptr) {
    for (auto& w : S().windows) Invalidate(w.second.get());
    return TRUE;
  }
  Window* w = FindWindow(hwnd);
  if (w == nullptr) return FALSE;
  Invalidate(w);
  return TRUE;
}

int WINAPI GetSystemMetrics(int index) {
  Log("GetSystemMetrics %d", index);
  int width = 0, height = 0;
  B().GetScreenSize(&width, &height);
  if (index == SM_CXSCREEN) return width;
  if (index == SM_CYSCREEN) return height;
  return 0;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
  Log("PeekMessageA");
  if (msg == nullptr) return FALSE;
  B().PollInput();
  MSG found;
  if (!TakeMessage(&found, hwnd, filterMin, filterMax, (removeMsg & PM_REMOVE) != 0)) {
    return FALSE;
  }
  *msg = found;
  return TRUE;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  Log("GetMessageA");
  if (msg == nullptr) return -1;
  for (;;) {
    if (hwnd != nullptr && FindWindow(hwnd) == nullptr) return -1;
    B().PollInput();
    MSG found;
    if (TakeMessage(&found, hwnd, filterMin, filterMax, true)) {
      *msg = found;
      return found.message == WM_QUIT ? FALSE : TRUE;
    }
    B().WaitInput(NextTimerTimeout());
  }
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
  Log("TranslateMessage");
  if (msg == nullptr || msg->message != WM_KEYDOWN) return FALSE;
  State& s = S();
  int character = kNoCharacter;
  if (s.haveKeyDown && s.lastKeyDown.hwnd == msg->hwnd && s.lastKeyDown.wParam == msg->wParam &&
      s.lastKeyDown.lParam == msg->lParam && s.lastKeyDownCharacter != kNoCharacter) {
    character = s.lastKeyDownCharacter;
  } else {
    character = VirtualKeyCharacter(msg->wParam);
  }
  if (character == kNoCharacter) return FALSE;
  // The character comes next, ahead of input that followed its key.
  QueuedMessage q;
  q.msg = MSG{msg->hwnd, WM_CHAR, static_cast<WPARAM>(character), msg->lParam, msg->time, msg->pt};
  q.character = kNoCharacter;
  s.queue.push_front(q);
  return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
  if (msg == nullptr) return 0;
  Log("DispatchMessageA 0x%04X", msg->message);
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    const TIMERPROC proc = reinterpret_cast<TIMERPROC>(msg->lParam);
    for (const Timer& t : S().timers) {
      if (ToHwnd(t.window) == msg->hwnd && t.id == msg->wParam && t.proc == proc) {
        proc(msg->hwnd, WM_TIMER, msg->wParam, MessageTime());
        return 0;
      }
    }
  }
  if (msg->hwnd == nullptr) return 0;
  return Send(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT msg, WPARAM /*wParam*/, LPARAM /*lParam*/) {
  Log("DefWindowProcA 0x%04X", msg);
  switch (msg) {
    case WM_CLOSE:
      DestroyWindowImpl(hwnd);
      return 0;
    case WM_PAINT:
      if (Window* w = FindWindow(hwnd)) w->invalid = false;
      return 0;
    default:
      return 0;
  }
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Log("SendMessageA 0x%04X", msg);
  return Send(hwnd, msg, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Log("PostMessageA 0x%04X", msg);
  if (hwnd != nullptr && FindWindow(hwnd) == nullptr) return FALSE;
  Enqueue(hwnd, msg, wParam, lParam, kNoCharacter);
  return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
  Log("PostQuitMessage %d", exitCode);
  S().quitPending = true;
  S().quitCode = exitCode;
}

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
  Log("BeginPaint");
  Window* w = FindWindow(hwnd);
  if (w == nullptr || paint == nullptr) return nullptr;
  w->invalid = false;
  *paint = PAINTSTRUCT{};
  paint->hdc = reinterpret_cast<HDC>(w->dc);
  paint->fErase = FALSE;
  paint->rcPaint = RECT{0, 0, w->width, w->height};
  return paint->hdc;
}

BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT* /*paint*/) {
  Log("EndPaint");
  return FindWindow(hwnd) != nullptr ? TRUE : FALSE;
}

HDC WINAPI GetDC(HWND hwnd) {
  Log("GetDC");
  if (B().Fails(Failure::kGetDC)) return nullptr;
  if (hwnd == nullptr) return reinterpret_cast<HDC>(kScreenDC);
  const Window* w = FindWindow(hwnd);
  return w == nullptr ? nullptr : reinterpret_cast<HDC>(w->dc);
}

int WINAPI ReleaseDC(HWND hwnd, HDC hdc) {
  Log("ReleaseDC");
  if (hwnd == nullptr && Id(hdc) == kScreenDC) return 1;
  const Window* w = WindowOfDC(hdc);
  return (w != nullptr && ToHwnd(w->id) == hwnd) ? 1 : 0;
}

HWND WINAPI WindowFromDC(HDC hdc) {
  Log("WindowFromDC");
  const Window* w = WindowOfDC(hdc);
  return w == nullptr ? nullptr : ToHwnd(w->id);
}

HWND WINAPI SetCapture(HWND hwnd) {
  Log("SetCapture");
  State& s = S();
  Window* w = FindWindow(hwnd);
  if (w == nullptr) return nullptr;
  const HWND previous = ToHwnd(s.capture);
  if (s.capture == w->id) return previous;
  s.capture = w->id;
  B().SetMouseCapture(w->native, true);
  if (FindWindow(previous) != nullptr) Send(previous, WM_CAPTURECHANGED, 0, Id(hwnd));
  return FindWindow(previous) != nullptr ? previous : nullptr;
}

BOOL WINAPI ReleaseCapture(void) {
  Log("ReleaseCapture");
  State& s = S();
  if (s.capture == 0) return TRUE;
  const HWND previous = ToHwnd(s.capture);
  s.capture = 0;
  if (Window* w = FindWindow(previous)) {
    B().SetMouseCapture(w->native, false);
    Send(previous, WM_CAPTURECHANGED, 0, 0);
  }
  return TRUE;
}

HWND WINAPI GetCapture(void) {
  Log("GetCapture");
  return ToHwnd(S().capture);
}

UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  Log("SetTimer %lu %u", static_cast<unsigned long>(id), elapse);
  State& s = S();
  if (hwnd != nullptr && FindWindow(hwnd) == nullptr) return 0;
  elapse = std::clamp<UINT>(elapse, kMinimumTimerPeriod, 0x7fffffffu);
  const uintptr_t window = Id(hwnd);
  const Clock::time_point due = Clock::now() + std::chrono::milliseconds(elapse);
  if (window != 0 || id != 0) {
    for (Timer& t : s.timers) {
      if (t.window == window && t.id == id) {  // replaces the timer, keeps its identifier
        t = Timer{window, id, elapse, proc, due, false};
        return id != 0 ? id : 1;
      }
    }
  }
  if (window == 0) id = NewHandle();  // a thread timer gets an identifier of its own
  s.timers.push_back(Timer{window, id, elapse, proc, due, false});
  return id != 0 ? id : 1;
}

BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) {
  Log("KillTimer %lu", static_cast<unsigned long>(id));
  auto& timers = S().timers;
  for (auto it = timers.begin(); it != timers.end(); ++it) {
    if (it->window == Id(hwnd) && it->id == id) {
      timers.erase(it);
      return TRUE;
    }
  }
  return FALSE;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Log("MessageBoxA %s", caption != nullptr ? caption : "Error");
  if (owner != nullptr && FindWindow(owner) == nullptr) return 0;
  return B().ShowMessageBox(owner, NativeOf(owner), text != nullptr ? text : "",
                            caption != nullptr ? caption : "Error", type);
}

// ---- KERNEL -----------------------------------------------------------------

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
  Log("GetModuleHandleA");
  if (moduleName != nullptr) return nullptr;  // the program is the only module
  return reinterpret_cast<HMODULE>(kModuleHandle);
}

// ---- GDI --------------------------------------------------------------------

int WINAPI ChoosePixelFormat(HDC hdc, const PIXELFORMATDESCRIPTOR* pfd) {
  if (pfd == nullptr) {
    Log("ChoosePixelFormat (null)");
    return 0;
  }
  Log("ChoosePixelFormat flags=0x%lx type=%d color=%d depth=%d",
      static_cast<unsigned long>(pfd->dwFlags), pfd->iPixelType, pfd->cColorBits, pfd->cDepthBits);
  if (WindowOfDC(hdc) == nullptr) return 0;
  if (B().Fails(Failure::kChoosePixelFormat)) return 0;
  const std::vector<PIXELFORMATDESCRIPTOR> formats = B().PixelFormats();
  int best = 0, bestDistance = 0;
  for (size_t i = 0; i < formats.size(); ++i) {
    if (!FormatMatches(*pfd, formats[i])) continue;
    const int d = FormatDistance(*pfd, formats[i]);
    if (best == 0 || d < bestDistance) {
      best = static_cast<int>(i) + 1;
      bestDistance = d;
    }
  }
  return best;
}

BOOL WINAPI SetPixelFormat(HDC hdc, int format, const PIXELFORMATDESCRIPTOR* /*pfd*/) {
  Log("SetPixelFormat");
  Window* w = WindowOfDC(hdc);
  if (w == nullptr || B().Fails(Failure::kSetPixelFormat)) return FALSE;
  const int count = static_cast<int>(B().PixelFormats().size());
  if (format < 1 || format > count) return FALSE;
  // A window's pixel format is set once for its life.
  if (w->pixelFormat != 0) return w->pixelFormat == format ? TRUE : FALSE;
  w->pixelFormat = format;
  return TRUE;
}

int WINAPI GetPixelFormat(HDC hdc) {
  Log("GetPixelFormat");
  const Window* w = WindowOfDC(hdc);
  return w == nullptr ? 0 : w->pixelFormat;
}

int WINAPI DescribePixelFormat(HDC hdc, int format, UINT bytes, LPPIXELFORMATDESCRIPTOR pfd) {
  Log("DescribePixelFormat");
  if (WindowOfDC(hdc) == nullptr && Id(hdc) != kScreenDC) return 0;
  const std::vector<PIXELFORMATDESCRIPTOR> formats = B().PixelFormats();
  const int count = static_cast<int>(formats.size());
  if (pfd == nullptr) return count;
  if (format < 1 || format > count || bytes < sizeof(PIXELFORMATDESCRIPTOR)) return 0;
  *pfd = formats[format - 1];
  B().AdjustDescription(format, pfd);
  return count;
}

HPALETTE WINAPI CreatePalette(const LOGPALETTE* logPalette) {
  Log("CreatePalette");
  if (logPalette == nullptr) return nullptr;
  const int count = logPalette->palNumEntries;
  B().NotePalette(logPalette->palVersion, logPalette->palPalEntry, count);
  if (count == 0 || B().Fails(Failure::kCreatePalette)) return nullptr;
  const uintptr_t id = NewHandle();
  S().palettes[id].assign(logPalette->palPalEntry, logPalette->palPalEntry + count);
  return reinterpret_cast<HPALETTE>(id);
}

HPALETTE WINAPI SelectPalette(HDC hdc, HPALETTE palette, BOOL /*forceBackground*/) {
  Log("SelectPalette");
  Window* w = WindowOfDC(hdc);
  if (w == nullptr) return nullptr;
  if (Id(palette) != kStockPalette && S().palettes.count(Id(palette)) == 0) return nullptr;
  const uintptr_t previous = w->palette;
  w->palette = Id(palette);
  return reinterpret_cast<HPALETTE>(previous);
}

UINT WINAPI RealizePalette(HDC hdc) {
  Log("RealizePalette");
  // True colour: no system palette entries to map.
  return WindowOfDC(hdc) == nullptr ? kGdiError : 0;
}

BOOL WINAPI UnrealizeObject(HGDIOBJ object) {
  Log("UnrealizeObject");
  const uintptr_t id = Id(object);
  return (id == kStockPalette || S().palettes.count(id) != 0) ? TRUE : FALSE;
}

BOOL WINAPI SwapBuffers(HDC hdc) {
  Log("SwapBuffers");
  Window* w = WindowOfDC(hdc);
  if (w == nullptr || w->pixelFormat == 0) return FALSE;
  const uintptr_t context = ContextForPresent(*w);
  NativeContext* native = context != 0 ? S().contexts[context].native : nullptr;
  return B().Present(w->native, native) ? TRUE : FALSE;
}

// ---- WGL --------------------------------------------------------------------

HGLRC WINAPI wglCreateContext(HDC hdc) {
  Log("wglCreateContext");
  Window* w = WindowOfDC(hdc);
  if (w == nullptr || w->pixelFormat == 0) return nullptr;
  if (B().Fails(Failure::kCreateContext)) return nullptr;
  std::string error;
  NativeContext* native = B().CreateGLContext(w->native, w->pixelFormat, &error);
  if (native == nullptr) {
    fprintf(stderr, "platform: wglCreateContext: %s\n", error.c_str());
    return nullptr;
  }
  const uintptr_t id = NewHandle();
  S().contexts[id] = Context{native, w->id, w->pixelFormat};
  return reinterpret_cast<HGLRC>(id);
}

BOOL WINAPI wglMakeCurrent(HDC hdc, HGLRC context) {
  Log("wglMakeCurrent");
  State& s = S();
  if (context == nullptr) {
    if (s.currentContext != 0) B().MakeGLCurrent(nullptr, nullptr);
    s.currentContext = 0;
    return TRUE;
  }
  auto it = s.contexts.find(Id(context));
  Window* w = WindowOfDC(hdc);
  if (it == s.contexts.end() || w == nullptr || w->pixelFormat != it->second.format) return FALSE;
  if (!B().MakeGLCurrent(w->native, it->second.native)) return FALSE;
  it->second.window = w->id;
  s.currentContext = it->first;
  return TRUE;
}

BOOL WINAPI wglDeleteContext(HGLRC context) {
  Log("wglDeleteContext");
  State& s = S();
  auto it = s.contexts.find(Id(context));
  if (it == s.contexts.end()) return FALSE;
  if (s.currentContext == it->first) {
    B().MakeGLCurrent(nullptr, nullptr);
    s.currentContext = 0;
  }
  NativeContext* native = it->second.native;
  s.contexts.erase(it);
  B().DeleteGLContext(native);
  return TRUE;
}
