// A small window procedure of the tests' own: it records every message it
// sees and lets a test handle chosen messages; the rest get the default
// handling.
#pragma once

#include <functional>
#include <vector>

#include "platform/headless/headless.h"

struct Seen {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// Return true from a handler to answer the message with *result.
using Handler = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT* result)>;

inline std::vector<Seen>& SeenMessages() {
  static std::vector<Seen> seen;
  return seen;
}
inline Handler& ProbeHandler() {
  static Handler handler;
  return handler;
}

inline LRESULT CALLBACK ProbeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  SeenMessages().push_back(Seen{hwnd, message, wParam, lParam});
  LRESULT result = 0;
  if (ProbeHandler()) {
    Handler handler = ProbeHandler();  // may be replaced while it runs
    if (handler(hwnd, message, wParam, lParam, &result)) return result;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

inline void ResetProbe() {
  headless::Reset();
  SeenMessages().clear();
  ProbeHandler() = nullptr;
  WNDCLASSA wc = {};
  wc.style = CS_OWNDC;
  wc.lpfnWndProc = ProbeProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "Probe";
  RegisterClassA(&wc);
}

inline HWND MakeProbeWindow(int width, int height, bool visible = true) {
  return CreateWindowExA(0, "Probe", "probe", WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), 50,
                         50, width, height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

// The messages of one kind that the procedure has seen.
inline std::vector<Seen> SeenOf(UINT message) {
  std::vector<Seen> out;
  for (const Seen& s : SeenMessages()) {
    if (s.message == message) out.push_back(s);
  }
  return out;
}

// Retrieves, translates and dispatches until nothing is waiting; returns the
// messages retrieved, in order.
inline std::vector<UINT> Drain() {
  std::vector<UINT> got;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    got.push_back(msg.message);
    if (msg.message == WM_QUIT) break;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return got;
}

// A message loop like the viewer's: returns the wParam of the message that
// ended it.
inline int RunLoop() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) == 1) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

// Pixel format and a current rendering context on the window's own DC.
inline HGLRC MakeCurrentContext(HWND hwnd) {
  HDC dc = GetDC(hwnd);
  PIXELFORMATDESCRIPTOR pfd = {};
  pfd.nSize = sizeof pfd;
  pfd.nVersion = 1;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  pfd.iPixelType = PFD_TYPE_RGBA;
  pfd.cColorBits = 8;
  pfd.cDepthBits = 16;
  if (!SetPixelFormat(dc, ChoosePixelFormat(dc, &pfd), &pfd)) return nullptr;
  HGLRC rc = wglCreateContext(dc);
  if (rc != nullptr) wglMakeCurrent(dc, rc);
  return rc;
}
