// Handles, window classes, windows and device contexts with their look-ups;
// the hooks a test backend installs; the reset of the whole core.
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "platform/core/core.h"

namespace platform {
namespace {

constexpr uintptr_t kFirstHandle = 0x10000;
constexpr ATOM kFirstAtom = 0xC000;

struct Records {
  uintptr_t nextHandle = kFirstHandle;
  ATOM nextAtom = kFirstAtom;
  std::map<std::string, WindowClass> classes;
  std::map<uintptr_t, std::unique_ptr<Window>> windows;
  std::map<uintptr_t, uintptr_t> dcs;  // device context -> window
  CoreHooks hooks;
};

Records& R() {
  static Records records;
  return records;
}

}  // namespace

uintptr_t NewHandle() {
  const uintptr_t h = R().nextHandle;
  R().nextHandle += 4;
  return h;
}

std::map<std::string, WindowClass>& Classes() {
  return R().classes;
}

ATOM NewAtom() {
  return R().nextAtom++;
}

std::map<uintptr_t, std::unique_ptr<Window>>& Windows() {
  return R().windows;
}

void AddWindow(std::unique_ptr<Window> window) {
  R().dcs[window->dc] = window->id;
  const uintptr_t id = window->id;
  R().windows[id] = std::move(window);
}

void RemoveWindow(uintptr_t id) {
  auto it = R().windows.find(id);
  if (it == R().windows.end()) return;
  R().dcs.erase(it->second->dc);
  R().windows.erase(it);
}

Window* FindWindow(HWND hwnd) {
  auto it = R().windows.find(Id(hwnd));
  return it == R().windows.end() ? nullptr : it->second.get();
}

Window* WindowOfDC(HDC hdc) {
  auto it = R().dcs.find(Id(hdc));
  return it == R().dcs.end() ? nullptr : FindWindow(ToHwnd(it->second));
}

LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = FindWindow(hwnd);
  if (w == nullptr) return 0;
  WNDPROC proc = w->proc;  // the record may be gone once the procedure returns
  return proc(hwnd, message, wParam, lParam);
}

void Log(const char* format, ...) {
  if (!R().hooks.call) return;
  char buffer[256];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  R().hooks.call(buffer);
}

bool Fails(Fault fault) {
  return R().hooks.fails && R().hooks.fails(fault);
}

const CoreHooks& Hooks() {
  return R().hooks;
}

void InstallCoreHooks(CoreHooks hooks) {
  R().hooks = std::move(hooks);
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

HWND NewestWindow() {
  if (R().windows.empty()) return nullptr;
  return ToHwnd(R().windows.rbegin()->first);
}

bool DescribeWindow(HWND hwnd, WindowFacts* facts) {
  const Window* w = FindWindow(hwnd);
  if (w == nullptr) return false;
  *facts = WindowFacts{hwnd, w->className, w->title, w->style,  w->exStyle,
                       w->x, w->y,         w->width, w->height, w->visible};
  return true;
}

void ResetCore() {
  ResetGraphics();
  ResetMessages();
  std::vector<NativeWindow*> natives;
  for (auto& w : R().windows) natives.push_back(w.second->native);
  // Handles and atoms keep counting, so that none from before names anything;
  // the hooks belong to the backend, not to the program.
  Records fresh;
  fresh.nextHandle = R().nextHandle;
  fresh.nextAtom = R().nextAtom;
  fresh.hooks = std::move(R().hooks);
  R() = std::move(fresh);
  for (NativeWindow* n : natives) DestroyNativeWindow(n);
}

}  // namespace platform
