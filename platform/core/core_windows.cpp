// USER calls on windows: classes, creation and destruction, showing and
// placing, painting, device contexts, the default procedure and message
// boxes. The Windows flags of these calls are decoded here, once, into the
// backend's neutral words.
#include <algorithm>
#include <cstdio>

#include "platform/core/core.h"

namespace platform {
namespace {

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

const WindowClass* FindClass(LPCSTR className) {
  if (className == nullptr) return nullptr;
  if (IS_INTRESOURCE(className)) {
    for (auto& c : Classes()) {
      if (c.second.atom == LOWORD(className)) return &c.second;
    }
    return nullptr;
  }
  auto it = Classes().find(Lower(className));
  return it == Classes().end() ? nullptr : &it->second;
}

ShowState ShowStateOf(int cmdShow) {
  switch (cmdShow) {
    case SW_HIDE:
      return ShowState::kHidden;
    case SW_SHOWMAXIMIZED:
      return ShowState::kMaximized;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
    case SW_FORCEMINIMIZE:
      return ShowState::kMinimized;
    case SW_RESTORE:
      return ShowState::kRestored;
    default:  // shown and activated, as on Windows
      return ShowState::kShown;
  }
}

// The icons the program registered, by resource identifier: the program's
// resource section. Not part of the core's reset: they belong to the program,
// not to a run.
std::map<int, IconPixels>& ProgramIcons() {
  static std::map<int, IconPixels> icons;
  return icons;
}

BoxKind BoxKindOf(UINT type) {
  switch (type & 0xF0) {
    case MB_ICONERROR:
      return BoxKind::kError;
    case MB_ICONWARNING:
      return BoxKind::kWarning;
    case MB_ICONINFORMATION:
      return BoxKind::kInformation;
    default:
      return BoxKind::kPlain;
  }
}

}  // namespace

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
  ForgetWindowMessages(hwnd);
  ForgetWindowContexts(w->id);
  NativeWindow* native = w->native;
  RemoveWindow(w->id);
  DestroyNativeWindow(native);
  return TRUE;
}

void AddIconResource(int id, const IconPixels& pixels) {
  ProgramIcons()[id] = pixels;
}

}  // namespace platform

using namespace platform;

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
  Log("RegisterClassA %s", wc != nullptr ? ClassNameText(wc->lpszClassName).c_str() : "(null)");
  if (wc == nullptr || wc->lpfnWndProc == nullptr || wc->lpszClassName == nullptr ||
      IS_INTRESOURCE(wc->lpszClassName) || wc->lpszClassName[0] == '\0') {
    return 0;
  }
  if (Fails(Fault::kRegisterClass)) return 0;
  const std::string key = Lower(wc->lpszClassName);
  if (Classes().count(key) != 0) return 0;  // already registered
  const ATOM atom = NewAtom();
  Classes()[key] = WindowClass{wc->lpszClassName, atom, wc->style, wc->lpfnWndProc, wc->hIcon};
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
  if (Id(instance) == kModuleHandle && ProgramIcons().count(id) != 0) {
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
  const WindowClass* wc = FindClass(className);
  if (wc == nullptr || Fails(Fault::kCreateWindow)) return nullptr;

  int screenW = 0, screenH = 0;
  GetScreenSize(&screenW, &screenH);
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
  const HWND hwnd = ToHwnd(w->id);
  std::string error;
  w->native = CreateNativeWindow(WindowDescription{hwnd, AnsiToUtf8(w->title), x, y, width, height,
                                                   (style & WS_THICKFRAME) != 0},
                                 &error);
  if (w->native == nullptr) {
    fprintf(stderr, "platform: CreateWindowExA: %s\n", error.c_str());
    return nullptr;
  }
  const uintptr_t icon = Id(wc->icon);
  if (icon > kProgramIconBase && icon <= kProgramIconBase + 0xFFFF) {
    const auto pixels = ProgramIcons().find(static_cast<int>(icon - kProgramIconBase));
    if (pixels != ProgramIcons().end()) SetNativeIcon(w->native, pixels->second);
  }
  AddWindow(std::move(w));

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
    ShowNativeWindow(created->native, ShowState::kShown);
  }
  return hwnd;
}

BOOL WINAPI ShowWindow(HWND hwnd, int cmdShow) {
  Log("ShowWindow %d", cmdShow);
  Window* w = FindWindow(hwnd);
  if (w == nullptr) return FALSE;
  const bool wasVisible = w->visible;
  const ShowState state = ShowStateOf(cmdShow);
  const bool show = state != ShowState::kHidden;
  w->visible = show;
  if (show) {
    w->style |= WS_VISIBLE;
    if (!wasVisible) w->invalid = true;
  } else {
    w->style &= ~static_cast<DWORD>(WS_VISIBLE);
    w->invalid = false;
  }
  ShowNativeWindow(w->native, state);
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
  const bool move = !(flags & SWP_NOMOVE);
  const bool size = !(flags & SWP_NOSIZE);
  if (move) {
    w->x = x;
    w->y = y;
  }
  bool resized = false;
  if (size) {
    cx = std::max(cx, 0);
    cy = std::max(cy, 0);
    resized = cx != w->width || cy != w->height;
    w->width = cx;
    w->height = cy;
  }
  PlaceNativeWindow(w->native, Placement{w->x, w->y, w->width, w->height, move, size});
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
    for (auto& w : Windows()) Invalidate(w.second.get());
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
  GetScreenSize(&width, &height);
  if (index == SM_CXSCREEN) return width;
  if (index == SM_CYSCREEN) return height;
  return 0;
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
  if (Fails(Fault::kGetDC)) return nullptr;
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

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
  Log("GetModuleHandleA");
  if (moduleName != nullptr) return nullptr;  // the program is the only module
  return reinterpret_cast<HMODULE>(kModuleHandle);
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Log("MessageBoxA %s", caption != nullptr ? caption : "Error");
  if (owner != nullptr && FindWindow(owner) == nullptr) return 0;
  const std::string body = text != nullptr ? text : "";
  const std::string title = caption != nullptr ? caption : "Error";
  if (Hooks().messageBox) {
    auto box = Hooks().messageBox;  // the box may install other hooks
    return box(owner, body, title, type);
  }
  const Window* w = FindWindow(owner);
  if (!ShowMessageBox(w != nullptr ? w->native : nullptr, AnsiToUtf8(body), AnsiToUtf8(title),
                      BoxKindOf(type))) {
    // Not lost: the text goes to stderr, and the caller learns of the failure.
    fprintf(stderr, "platform: cannot show a message box: %s: %s\n", title.c_str(), body.c_str());
    return 0;
  }
  return IDOK;
}
