// The narrow seam between the core of our Windows layer (core.cpp) and the
// native pieces below it. Exactly one backend file is linked into a program
// (backend_headless.cpp or backend_sdl.cpp); it defines TheBackend().
//
// The core owns every Windows object (classes, windows, device contexts,
// timers, the message queue, palettes, rendering-context handles). A backend
// owns only native windows, native GL contexts, input sources and message
// boxes, and reports what happens to them through the core entry points at the
// end of this header.
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"

namespace platform {

// Opaque per-backend objects.
struct NativeWindow;
struct NativeContext;

// Calls whose failure a backend may inject (the headless backend does, for tests).
enum class Failure {
  kRegisterClass,
  kCreateWindow,
  kGetDC,
  kChoosePixelFormat,
  kSetPixelFormat,
  kCreatePalette,
  kCreateContext,
};

class Backend {
 public:
  virtual ~Backend() = default;

  // ---- Native windows: client area = outer size; positions in screen pixels.
  // Created hidden. Null with *error set on failure.
  virtual NativeWindow* CreateNativeWindow(HWND hwnd, const std::string& title, int x, int y,
                                           int width, int height, DWORD style,
                                           std::string* error) = 0;
  // cmdShow is the ShowWindow command (SW_HIDE, SW_SHOWMAXIMIZED, ...).
  virtual void ShowNativeWindow(NativeWindow* window, int cmdShow) = 0;
  // Moves and sizes the window as SetWindowPos asks: flags may hold
  // SWP_NOMOVE and SWP_NOSIZE, whose coordinates are then to be left alone.
  virtual void PlaceNativeWindow(NativeWindow* window, int x, int y, int width, int height,
                                 UINT flags) = 0;
  virtual void DestroyNativeWindow(NativeWindow* window) = 0;
  // The program's icon resource for the window (0: none).
  virtual void SetNativeIcon(NativeWindow* window, int resourceId) = 0;
  virtual void GetScreenSize(int* width, int* height) = 0;

  // ---- Input.
  // Turns whatever native input is waiting into core calls, without blocking.
  virtual void PollInput() = 0;
  // Called when the program would block in GetMessageA: returns once native
  // input may be waiting or timeoutMs (-1: none) has passed.
  virtual void WaitInput(int timeoutMs) = 0;
  // Whether timers fire from the clock (false: only when the backend says so).
  virtual bool ClockTimers() const = 0;
  virtual void SetMouseCapture(NativeWindow* window, bool capture) = 0;
  // Modal; returns the button pressed (IDOK), or 0 if no box could be shown.
  virtual int ShowMessageBox(HWND ownerHandle, NativeWindow* owner, const std::string& text,
                             const std::string& caption, UINT type) = 0;

  // ---- GL.
  // The formats on offer, in index order (format n is element n - 1).
  virtual std::vector<PIXELFORMATDESCRIPTOR> PixelFormats() = 0;
  virtual NativeContext* CreateGLContext(NativeWindow* window, int format, std::string* error) = 0;
  // window and context both null: no context current.
  virtual bool MakeGLCurrent(NativeWindow* window, NativeContext* context) = 0;
  virtual void DeleteGLContext(NativeContext* context) = 0;
  // Presents the window's back buffer; context is the one current on this
  // window, or another context created on it, or null when it has none.
  virtual bool Present(NativeWindow* window, NativeContext* context) = 0;

  // ---- Instrumentation, used by the headless backend; no-ops by default.
  virtual bool LogsCalls() const { return false; }
  virtual void LogCall(std::string /*entry*/) {}
  virtual bool Fails(Failure) { return false; }
  // Lets the backend change what DescribePixelFormat reports.
  virtual void AdjustDescription(int /*format*/, PIXELFORMATDESCRIPTOR*) {}
  // Every CreatePalette with a block, before success or failure is decided.
  virtual void NotePalette(WORD /*version*/, const PALETTEENTRY* /*entries*/, int /*count*/) {}
};

// Defined by the backend linked into the program.
Backend& TheBackend();

// ---- Core entry points for backends -----------------------------------------

// The descriptor of a double-buffered true-colour RGBA format for GL in a
// window (8 bits each of red, green and blue), with the given depth bits.
PIXELFORMATDESCRIPTOR TrueColorFormat(int depthBits);

constexpr int kNoCharacter = -1;
// For WM_KEYDOWN: the key yields text that the backend reports on its own,
// possibly only after the key down was taken from the queue (an input method
// answers later). TranslateMessage then makes no character of the key itself:
// the text brings it, attached or as WM_CHAR, and the key counts once.
constexpr int kTextFollows = -2;

// Queues an input message at the end of the queue. For WM_KEYDOWN, character
// is what the key yields (TranslateMessage turns it into WM_CHAR),
// kTextFollows, or kNoCharacter if not known (the unshifted character of the
// virtual key is taken).
void PostInput(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, int character = kNoCharacter);
// The text that a key produced arrived after its WM_KEYDOWN was queued: gives
// the character to the newest queued key down that has none or waits for its
// text. False if there is no such key down (the caller then posts WM_CHAR
// itself).
bool AttachCharacter(int character);
// A mouse message at a point in hwnd's client coordinates; keys are the MK_
// flags after the event. Goes to the capture window if there is one (with the
// point converted), otherwise to hwnd if the point is inside its client area.
void MouseInput(HWND hwnd, UINT message, int x, int y, WPARAM keys);
// The native window took a new client size (the user sized, maximized or
// minimized it): records it and sends WM_SIZE if the size changed.
void WindowResized(HWND hwnd, int width, int height, WPARAM sizeType);
void WindowMoved(HWND hwnd, int x, int y);
// Part of the window must be drawn again.
void WindowExposed(HWND hwnd);
// Sends a message as the system does (not as a call of the program).
LRESULT SendFromSystem(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Makes every live timer due once (virtual timers).
void FireAllTimers();
// From now on GetMessageA and PeekMessageA report WM_QUIT with this code.
void AbortMessageLoop(int exitCode);

// The newest window that still exists, or null.
HWND NewestWindow();
struct WindowFacts {
  std::string className;
  std::string title;
  DWORD style;
  DWORD exStyle;
  int x, y, width, height;
  bool visible;
};
bool GetWindowFacts(HWND hwnd, WindowFacts* facts);
NativeWindow* NativeOf(HWND hwnd);

// Forgets every class, window, timer, queued message, capture, palette and
// context (native ones destroyed, no messages sent).
void ResetCore();

// ANSI text of the program (Windows-1252 subset: Latin-1) as UTF-8.
std::string AnsiToUtf8(const std::string& text);

}  // namespace platform
