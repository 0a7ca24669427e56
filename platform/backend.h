// The seam between the core of our Windows layer and the native pieces below
// it. Exactly one backend is linked into a program (backend_headless.cpp,
// backend_sdl.cpp or backend_web.cpp); it defines the functions of the first
// banner, and the core defines those of the second.
//
// The core owns every Windows object (classes, windows, device contexts,
// timers, the message queue, palettes, rendering-context handles) and decodes
// every Windows flag. A backend owns native windows, native GL contexts, input
// sources and message boxes, and speaks only the neutral words below: it never
// sees SW_, SWP_, WS_ or MB_ bits. Window handles pass through it only as names
// to report events with. Texts are UTF-8.
#pragma once

#include <string>
#include <vector>

#include "platform/resources.h"
#include "platform/win32.h"

namespace platform {

// Defined by each backend.
struct NativeWindow;
struct NativeContext;

// What a native window is made from. Its client area is its outer size;
// positions are screen pixels.
struct WindowDescription {
  HWND handle;  // the name to report the window's events with
  std::string title;
  int x, y, width, height;
  bool resizable;  // the user may size the frame
};

enum class ShowState { kHidden, kShown, kMaximized, kMinimized, kRestored };

// Where SetWindowPos puts a window. Without `move` the window stays where it
// is on screen (x and y are the core's last record of it); without `resize`
// it keeps its size.
struct Placement {
  int x, y, width, height;
  bool move;
  bool resize;
};

enum class BoxKind { kPlain, kError, kWarning, kInformation };

// A GL surface a backend can give a window: RGBA, 8 bits a colour.
struct SurfaceFormat {
  int depthBits;
  bool doubleBuffer;
};

// ---- What the core asks of a backend ----------------------------------------

// Created hidden. Null with *error set on failure.
NativeWindow* CreateNativeWindow(const WindowDescription& description, std::string* error);
// May report a new size through WindowResized (maximized, minimized).
void ShowNativeWindow(NativeWindow* window, ShowState state);
void PlaceNativeWindow(NativeWindow* window, const Placement& placement);
void DestroyNativeWindow(NativeWindow* window);
// The icon the program registered for the window's class.
void SetNativeIcon(NativeWindow* window, const IconPixels& pixels);
void GetScreenSize(int* width, int* height);

// Turns whatever native input is waiting into events, without blocking.
void PollInput();
// Called when the program would block in GetMessageA: returns once native
// input may be waiting or timeoutMs (-1: none) has passed.
void WaitInput(int timeoutMs);
// Whether timers fire from the clock (false: only when the backend says so).
bool ClockTimers();
void SetMouseCapture(NativeWindow* window, bool capture);
// Modal. False if no box could be shown.
bool ShowMessageBox(NativeWindow* owner, const std::string& text, const std::string& caption,
                    BoxKind kind);

// The surfaces on offer, in pixel-format index order (format n is element n - 1).
std::vector<SurfaceFormat> SurfaceFormats();
NativeContext* CreateGLContext(NativeWindow* window, int format, std::string* error);
// window and context both null: no context current.
bool MakeGLCurrent(NativeWindow* window, NativeContext* context);
void DeleteGLContext(NativeContext* context);
// Presents the window's back buffer; context is the one current on this
// window, or another context created on it, or null when it has none.
bool Present(NativeWindow* window, NativeContext* context);

// ---- Events a backend reports to the core -----------------------------------
// Points are client pixels of the window named. Events queue messages in
// arrival order; those marked "sent" call the window procedure at once.

// Buttons and modifier keys held after a pointer event.
enum HeldInput : unsigned {
  kHeldLeft = 1,
  kHeldRight = 2,
  kHeldMiddle = 4,
  kHeldShift = 8,
  kHeldControl = 16,
};
enum class MouseButton { kLeft, kRight, kMiddle };

void PointerMoved(HWND window, int x, int y, unsigned held);
void PointerButton(HWND window, MouseButton button, bool down, int x, int y, unsigned held);

constexpr int kNoCharacter = -1;
// The key yields text that the backend reports on its own through KeyText,
// possibly only after the key down was taken from the queue (an input method
// answers later). The key then makes no character of its own: the text brings
// it, and the key counts once (Shift+F is 'F', never 'f').
constexpr int kTextFollows = -2;
// A key of the key table (platform/core/keys.h) went down or up. `character` is
// what the key yields, kTextFollows, or kNoCharacter if not known (the key
// table's character is taken). With `alt` it is a system key and yields no
// character.
struct KeyEvent {
  WPARAM virtualKey;
  bool down;
  bool repeat;
  bool alt;
  int scanCode;
  int character;
};
void KeyChanged(HWND window, const KeyEvent& key);
// Text that a key produced (a code point of Latin-1): goes to the newest
// queued key down that has no character yet, or else comes as a character
// of its own.
void KeyText(HWND window, int codePoint);
// The user asked to close the window (its close box).
void CloseRequested(HWND window);
// The native window took a new client size; WM_SIZE is sent if it changed.
enum class SizeState { kRestored, kMaximized, kMinimized };
void WindowResized(HWND window, int width, int height, SizeState state);
void WindowMoved(HWND window, int x, int y);
// Part of the window must be drawn again.
void WindowExposed(HWND window);

}  // namespace platform
