// Inside the core of our Windows layer: what its units share. The core is cut
// by subsystem, each file one slice of state:
//   core_records.cpp   handles, window classes, windows and device contexts,
//                      their look-ups, the hooks, the reset of everything
//   core_windows.cpp   USER calls on windows: life, placement, painting, DCs
//   core_messages.cpp  the queue, timers, capture and the message calls
//   core_graphics.cpp  pixel formats, palettes, WGL contexts, SwapBuffers
//   core_events.cpp    the events a backend reports, turned into messages
//
// Everything runs on one thread. Window procedures are called synchronously
// and may call back into any function here (destroy the window being served,
// send or post messages, resize, quit), so no function holds a pointer to a
// window record across a call of a procedure: records are looked up again by
// handle afterwards.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "platform/backend.h"
#include "platform/core/core_hooks.h"

namespace platform {

// Fixed handles (the module, icons, cursors, stock objects) live far above
// the range of handles that the core hands out.
constexpr uintptr_t kModuleHandle = 0x400000;
constexpr uintptr_t kStockPalette = 0x7D000001;
constexpr uintptr_t kScreenDC = 0x7D000002;
constexpr uintptr_t kProgramIconBase = 0x7E000000;
constexpr uintptr_t kSystemIconBase = 0x7E100000;
constexpr uintptr_t kSystemCursorBase = 0x7E200000;

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

// ---- core_records.cpp ---------------------------------------------------------
// A new handle, from a counter that never restarts, so that a stale handle
// never names a later object.
uintptr_t NewHandle();
template <typename H>
uintptr_t Id(H handle) {
  return reinterpret_cast<uintptr_t>(handle);
}
inline HWND ToHwnd(uintptr_t id) {
  return reinterpret_cast<HWND>(id);
}

// By lower-case name; ATOMs count up from 0xC000.
std::map<std::string, WindowClass>& Classes();
ATOM NewAtom();
// In creation order (handles grow).
std::map<uintptr_t, std::unique_ptr<Window>>& Windows();
void AddWindow(std::unique_ptr<Window> window);
void RemoveWindow(uintptr_t id);
Window* FindWindow(HWND hwnd);
Window* WindowOfDC(HDC hdc);

// Calls the window's procedure, if the window exists.
LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Through the hooks, when installed.
__attribute__((format(printf, 1, 2))) void Log(const char* format, ...);
bool Fails(Fault fault);
const CoreHooks& Hooks();

// ANSI text of the program (Windows-1252 subset: Latin-1) as UTF-8.
std::string AnsiToUtf8(const std::string& text);

// ---- core_windows.cpp -------------------------------------------------------
BOOL DestroyWindowImpl(HWND hwnd);
// Marks the window as needing a paint (only while it is visible).
void Invalidate(Window* w);
void SendSize(HWND hwnd, WPARAM type, int width, int height);

// ---- core_messages.cpp ------------------------------------------------------
using Clock = std::chrono::steady_clock;
DWORD MessageTime();
// Queues a message at the end of the queue. For WM_KEYDOWN, character is what
// the key yields (TranslateMessage turns it into WM_CHAR), or kNoCharacter.
void Enqueue(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, int character);
// Queues mouse input at a point on the screen; it is given its window and
// client point when it is taken from the queue.
void EnqueueMouse(HWND under, UINT message, WPARAM keys, POINT screen);
// Gives the character to the newest queued key message if that is a key down
// without one or waiting for its text. False otherwise.
bool AttachCharacter(int character);
// The window's timers, queued messages and capture end with it.
void ForgetWindowMessages(HWND hwnd);
void ResetMessages();

// ---- core_graphics.cpp ------------------------------------------------------
// Contexts made on the window stay alive but are no longer current.
void ForgetWindowContexts(uintptr_t id);
void ResetGraphics();

}  // namespace platform
