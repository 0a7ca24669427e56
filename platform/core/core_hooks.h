// What the core offers a test backend beyond the seam: watching and steering
// the Windows calls themselves. Only the headless backend uses it; with no
// hooks installed the core makes no call through them.
#pragma once

#include <functional>
#include <string>

#include "platform/win32.h"

namespace platform {

// Calls whose failure a test may inject.
enum class Fault {
  kRegisterClass,
  kCreateWindow,
  kGetDC,
  kChoosePixelFormat,
  kSetPixelFormat,
  kCreatePalette,
  kCreateContext,
};

struct CoreHooks {
  // Every Windows call, as its function name, a blank and a short description
  // of the arguments, e.g. "SetWindowPos 819x819 flags=2".
  std::function<void(const char* entry)> call;
  // Whether the call fails this time.
  std::function<bool(Fault)> fails;
  // May change what DescribePixelFormat reports of a format.
  std::function<void(int format, PIXELFORMATDESCRIPTOR*)> describe;
  // Every CreatePalette with a block, before success or failure is decided.
  std::function<void(WORD version, const PALETTEENTRY* entries, int count)> palette;
  // Takes the place of the backend's message box; its result is the box's.
  std::function<int(HWND owner, const std::string& text, const std::string& caption, UINT type)>
      messageBox;
};
void InstallCoreHooks(CoreHooks hooks);

// What the core knows of a window.
struct WindowFacts {
  HWND handle;
  std::string className;
  std::string title;
  DWORD style;
  DWORD exStyle;
  int x, y, width, height;  // outer rectangle, screen pixels
  bool visible;
};
// The newest window that still exists, or null.
HWND NewestWindow();
bool DescribeWindow(HWND hwnd, WindowFacts* facts);

// Input a test scripts beyond what a user can do.
// Posts any message, as input in arrival order.
void PostAsInput(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Sends a message as the system does (not as a call of the program).
LRESULT SendAsSystem(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Makes every live timer due once.
void FireAllTimers();
// From now on GetMessageA and PeekMessageA report WM_QUIT with this code.
void AbortMessageLoop(int exitCode);

// Forgets every class, window, timer, queued message, capture, palette and
// context (native ones destroyed, no messages sent). The hooks stay.
void ResetCore();

}  // namespace platform
