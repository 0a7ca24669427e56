// The events a backend reports, turned into Windows messages: mouse messages
// with MK_ flags and packed points, key messages with their lParam bits,
// WM_CHAR, WM_CLOSE, and WM_SIZE for a new size.
#include <algorithm>

#include "platform/core/core.h"

namespace platform {
namespace {

WPARAM MouseKeys(unsigned held) {
  WPARAM keys = 0;
  if (held & kHeldLeft) keys |= MK_LBUTTON;
  if (held & kHeldRight) keys |= MK_RBUTTON;
  if (held & kHeldMiddle) keys |= MK_MBUTTON;
  if (held & kHeldShift) keys |= MK_SHIFT;
  if (held & kHeldControl) keys |= MK_CONTROL;
  return keys;
}

UINT ButtonMessage(MouseButton button, bool down) {
  switch (button) {
    case MouseButton::kLeft:
      return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    case MouseButton::kRight:
      return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    case MouseButton::kMiddle:
      break;
  }
  return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
}

void Mouse(HWND hwnd, UINT message, int x, int y, unsigned held) {
  const Window* from = FindWindow(hwnd);
  if (from == nullptr) return;
  EnqueueMouse(hwnd, message, MouseKeys(held), POINT{from->x + x, from->y + y});
}

}  // namespace

void PointerMoved(HWND window, int x, int y, unsigned held) {
  Mouse(window, WM_MOUSEMOVE, x, y, held);
}

void PointerButton(HWND window, MouseButton button, bool down, int x, int y, unsigned held) {
  Mouse(window, ButtonMessage(button, down), x, y, held);
}

void KeyChanged(HWND window, const KeyEvent& key) {
  if (FindWindow(window) == nullptr) return;
  // Repeat count 1, the scan code, previous state and transition bits.
  LPARAM lParam = 1 | ((key.scanCode & 0xFF) << 16);
  if (!key.down) lParam |= 0xC0000000u;
  if (key.down && key.repeat) lParam |= 0x40000000;
  if (key.alt) {
    Enqueue(window, key.down ? WM_SYSKEYDOWN : WM_SYSKEYUP, key.virtualKey, lParam, kNoCharacter);
  } else if (key.down) {
    Enqueue(window, WM_KEYDOWN, key.virtualKey, lParam, key.character);
  } else {
    Enqueue(window, WM_KEYUP, key.virtualKey, lParam, kNoCharacter);
  }
}

void KeyText(HWND window, int codePoint) {
  if (codePoint < 0 || codePoint > 0xFF) return;  // beyond the program's character set
  if (FindWindow(window) == nullptr) return;
  if (!AttachCharacter(codePoint)) Enqueue(window, WM_CHAR, codePoint, 1, kNoCharacter);
}

void CloseRequested(HWND window) {
  if (FindWindow(window) != nullptr) Enqueue(window, WM_CLOSE, 0, 0, kNoCharacter);
}

void WindowResized(HWND hwnd, int width, int height, SizeState state) {
  Window* w = FindWindow(hwnd);
  if (w == nullptr) return;
  if (state == SizeState::kMinimized) {
    // The restored size is kept; the procedure is told the client is empty.
    if (w->sizeType == SIZE_MINIMIZED) return;
    w->sizeType = SIZE_MINIMIZED;
    SendSize(hwnd, SIZE_MINIMIZED, 0, 0);
    return;
  }
  const WPARAM sizeType = state == SizeState::kMaximized ? SIZE_MAXIMIZED : SIZE_RESTORED;
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

}  // namespace platform
