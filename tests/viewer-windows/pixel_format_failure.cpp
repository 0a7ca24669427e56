// Runs the viewer's real ConfigurePixelFormat where it must fail, so that a
// test can watch its message box and exit status under Windows (or Wine).
//
//   helicoid-pixel-format-failure null         no device context at all
//   helicoid-pixel-format-failure already-set  a window whose device context
//                                              already has another format
//
// ConfigurePixelFormat does not return when it fails; if it does return, this
// program says so and exits with 3.
#include <stdio.h>
#include <string.h>

#include "glcontext/glcontext.h"

namespace {

// A plain window with its own device context, as the viewer's has.
HDC MakeWindowDC() {
  WNDCLASSA windowClass;
  ZeroMemory(&windowClass, sizeof windowClass);
  windowClass.style = CS_OWNDC;
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(NULL);
  windowClass.lpszClassName = "PixelFormatProbe";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, "PixelFormatProbe", "pixel format probe",
                                WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 200,
                                200, NULL, NULL, windowClass.hInstance, NULL);
  return window ? GetDC(window) : NULL;
}

// Sets a window-drawable OpenGL format other than the one the viewer's
// request leads to. Returns the format set, or 0.
int SetOtherFormat(HDC dc) {
  PIXELFORMATDESCRIPTOR request;
  ZeroMemory(&request, sizeof request);
  request.nSize = sizeof request;
  request.nVersion = 1;
  request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  request.iPixelType = PFD_TYPE_RGBA;
  request.cColorBits = 8;
  request.cDepthBits = 16;
  int chosen = ChoosePixelFormat(dc, &request);
  int count = DescribePixelFormat(dc, 1, sizeof request, &request);
  for (int format = 1; format <= count; ++format) {
    PIXELFORMATDESCRIPTOR d;
    DescribePixelFormat(dc, format, sizeof d, &d);
    const DWORD needed = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    if (format != chosen && (d.dwFlags & needed) == needed && SetPixelFormat(dc, format, &d))
      return format;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  if (strcmp(mode, "null") == 0) {
    ConfigurePixelFormat(NULL);
  } else if (strcmp(mode, "already-set") == 0) {
    HDC dc = MakeWindowDC();
    if (!dc) {
      printf("no window device context\n");
      return 2;
    }
    int format = SetOtherFormat(dc);
    if (!format) {
      printf("no other pixel format could be set\n");
      return 2;
    }
    printf("pixel format %d set first\n", format);
    fflush(stdout);
    ConfigurePixelFormat(dc);
  } else {
    fprintf(stderr, "usage: %s null|already-set\n", argv[0]);
    return 2;
  }
  printf("ConfigurePixelFormat returned\n");
  return 3;
}
