// A small program on our Windows calls over the SDL2 backend, for the X server
// test: it opens a GL window and prints, one line each, the messages its
// procedure sees. With the argument "box" it only shows a message box and
// prints what it returned; with "round" it checks the backend's rounding of
// points and pixels.
#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>
#include <cstring>

#include "platform/sdl/sdl.h"
#include "platform/win32.h"

namespace {

HGLRC gContext = nullptr;
int gTimers = 0;

void Say(const char* format, long a = 0, long b = 0, long c = 0) {
  printf(format, a, b, c);
  printf("\n");
  fflush(stdout);
}

void SetUpGL(HWND window) {
  HDC dc = GetDC(window);
  PIXELFORMATDESCRIPTOR pfd = {};
  pfd.nSize = sizeof pfd;
  pfd.nVersion = 1;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  pfd.iPixelType = PFD_TYPE_RGBA;
  pfd.cColorBits = 8;
  pfd.cDepthBits = 16;
  const int format = ChoosePixelFormat(dc, &pfd);
  if (format == 0 || !SetPixelFormat(dc, format, &pfd)) {
    Say("gl=no-format");
    return;
  }
  gContext = wglCreateContext(dc);
  if (gContext == nullptr || !wglMakeCurrent(dc, gContext)) {
    Say("gl=no-context");
    return;
  }
  GLint depth = 0;
  glGetIntegerv(GL_DEPTH_BITS, &depth);
  Say("gl=ok depth=%ld", depth);
  // The context as made, and as the backend asked for it (a message box shown
  // before must change neither).
  GLint profile = 0;
  glGetIntegerv(0x9126 /* GL_CONTEXT_PROFILE_MASK */, &profile);
  int major = 0, minor = 0, asked = 0;
  SDL_GL_GetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, &major);
  SDL_GL_GetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, &minor);
  SDL_GL_GetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, &asked);
  printf("context %s profile=%d asked=%d.%d/%d\n",
         reinterpret_cast<const char*>(glGetString(GL_VERSION)), profile, major, minor, asked);
  fflush(stdout);
}

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const long x = HELICOID_X_LPARAM(lParam), y = HELICOID_Y_LPARAM(lParam);
  switch (message) {
    case WM_CREATE: {
      RECT rc;
      GetClientRect(window, &rc);
      Say("WM_CREATE %ld %ld", rc.right, rc.bottom);
      SetTimer(window, 1, 100, nullptr);
      SetUpGL(window);
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(window, &ps);
      if (gContext != nullptr) {
        glClearColor(0.2f, 0.4f, 0.6f, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        Say("WM_PAINT swap=%ld", SwapBuffers(ps.hdc));
      }
      EndPaint(window, &ps);
      return 0;
    }
    case WM_SIZE:
      Say("WM_SIZE %ld %ld %ld", LOWORD(lParam), HIWORD(lParam), static_cast<long>(wParam));
      return 0;
    case WM_TIMER:
      if (gTimers++ == 0) Say("WM_TIMER %ld", static_cast<long>(wParam));
      return 0;
    case WM_LBUTTONDOWN:
      SetCapture(window);
      Say("WM_LBUTTONDOWN %ld %ld %ld", x, y, static_cast<long>(wParam));
      return 0;
    case WM_LBUTTONUP:
      ReleaseCapture();
      Say("WM_LBUTTONUP %ld %ld %ld", x, y, static_cast<long>(wParam));
      return 0;
    case WM_MOUSEMOVE:
      if (GetCapture() == window) Say("WM_MOUSEMOVE %ld %ld %ld", x, y, static_cast<long>(wParam));
      return 0;
    case WM_KEYDOWN:
      Say("WM_KEYDOWN %ld", static_cast<long>(wParam));
      return 0;
    case WM_CHAR:
      Say("WM_CHAR %ld", static_cast<long>(wParam));
      if (wParam == 27) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      Say("WM_DESTROY");
      wglMakeCurrent(nullptr, nullptr);
      if (gContext != nullptr) wglDeleteContext(gContext);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
  // "box": a message box alone; "box-window": a box, then the window.
  if (strncmp(commandLine, "box", 3) == 0) {
    Say("box=%ld",
        MessageBoxA(nullptr, "probe text\nsecond line", "Probe box", MB_OK | MB_ICONERROR));
    if (strcmp(commandLine, "box") == 0) return 0;
  }
  WNDCLASSA wc = {};
  wc.style = CS_OWNDC | CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = ProbeProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(101));
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = "PlatformProbe";
  RegisterClassA(&wc);
  Say("screen %ld %ld", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  HWND window = CreateWindowExA(0, "PlatformProbe", "platform probe",
                                WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 50, 50,
                                320, 240, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) {
    Say("no window");
    return 2;
  }
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  Say("ready");
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) == 1) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  Say("exit %ld", static_cast<long>(msg.wParam));
  return static_cast<int>(msg.wParam);
}

// Points to pixels and back at scales that are not whole: the nearest,
// halves away from zero (positions may be negative).
int CheckRounding() {
  const struct {
    float scale;
    int points, pixels, back;  // points -> pixels; back -> points
  } rows[] = {
      {1.5f, 1, 2, 1}, {1.5f, -1, -2, -1}, {1.25f, 2, 3, 2}, {1.25f, -2, -3, -2}, {1.25f, 5, 6, 6}};
  int wrong = 0;
  for (const auto& r : rows) {
    wrong += sdl::PointsToPixels(r.scale, r.points) != r.pixels;
    wrong += sdl::PixelsToPoints(r.scale, r.back) != r.points;
  }
  return wrong;
}

// The start-up hands WinMain the first argument as its command line.
int main(int argc, char** argv) {
  if (argc > 1 && strcmp(argv[1], "round") == 0) return CheckRounding();
  char none[] = "";
  return WinMain(GetModuleHandleA(nullptr), nullptr, argc > 1 ? argv[1] : none, SW_SHOWDEFAULT);
}
