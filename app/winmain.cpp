#include <string.h>

#include "app/app.h"
#include "records/app_state.h"
#include "glcontext/glcontext.h"
#include "resources/resource_ids.h"

namespace {

const char kClassName[] = "OpenGL";
// The titles come from the build (CMakeLists.txt), which also gives them to
// the tests that look for these windows.
const char kWindowTitle[] = HELICOID_WINDOW_TITLE;
const char kInfoText[] = " mouse: touch the window image for movement----- ";
const char kInfoCaption[] = HELICOID_INFO_CAPTION;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand) {
  (void)previousInstance;
  (void)commandLine;
  // Every request for a frame (ScheduleRedraw) installs the loop's IdleRender.
  RedrawCallback = IdleRender;

  WNDCLASSA windowClass;
  memset(&windowClass, 0, sizeof windowClass);
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_HELICOID));
  windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
  windowClass.hbrBackground = NULL;  // the client area is never erased
  windowClass.lpszMenuName = NULL;
  windowClass.lpszClassName = kClassName;
  // Without the class no window could be made and the loop would wait forever.
  if (RegisterClassA(&windowClass) == 0) FailWithMessage(NULL, "RegisterClass failed");

  MessageBoxA(NULL, kInfoText, kInfoCaption, MB_OK);

  // A square window 0.8 times the screen height, whatever the screen's width.
  AppState.windowWidth = static_cast<int32_t>(GetSystemMetrics(SM_CYSCREEN) * 0.8);
  AppState.windowHeight = static_cast<int32_t>(GetSystemMetrics(SM_CYSCREEN) * 0.8);

  HWND window = CreateWindowExA(
      0, kClassName, kWindowTitle, WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 50, 50,
      AppState.windowWidth, AppState.windowHeight, NULL, NULL, instance, NULL);
  if (window == NULL) FailWithMessage(NULL, "CreateWindow failed");

  ShowWindow(window, showCommand);
  UpdateWindow(window);
  return RunMessageLoop();
}
