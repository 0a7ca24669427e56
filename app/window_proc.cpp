#include "app/app.h"
#include "records/app_state.h"
#include "glcontext/glcontext.h"
#include "scene/scene.h"
#include "trackball/trackball.h"

namespace {

void CreateWindowResources(HWND window) {
  // The timer only wakes the message loop; nothing handles WM_TIMER.
  SetTimer(window, 1, 100, NULL);
  AppState.deviceContext = GetDC(window);
  if (AppState.deviceContext == NULL) FailWithMessage(window, "GetDC failed");
  ConfigurePixelFormat(AppState.deviceContext);
  BuildPalette(AppState.deviceContext);
  CreateRenderContext();
  // A window that can never draw must not pose as a working viewer.
  if (AppState.renderContext == NULL) FailWithMessage(window, "wglCreateContext failed");
  InitScene();
}

void ReleaseWindowResources(HWND window) {
  ReleaseRenderContext();
  IdleHook = NULL;  // no frame after this point
  ReleaseDC(window, AppState.deviceContext);
  AppState.deviceContext = NULL;
  PostQuitMessage(0);
}

// Steps tuneLevel by 0.05 in double precision and holds it between 0.01 and
// 1.05; the bounds are compared before rounding to single precision.
void StepTuneLevel(double step) {
  const double level = static_cast<double>(DisplayOptions.tuneLevel) + step;
  if (step > 0 && level >= 1.05f) {
    DisplayOptions.tuneLevel = 1.05f;
  } else if (step < 0 && level <= 0.01f) {
    DisplayOptions.tuneLevel = 0.01f;
  } else {
    DisplayOptions.tuneLevel = static_cast<float>(level);
  }
}

// Returns false for codes that are not commands.
bool RunKeyCommand(HWND window, WPARAM code) {
  switch (code) {
    case 27:  // Esc
      DestroyWindow(window);
      return true;
    case 'f':
      DisplayOptions.fogOn = DisplayOptions.fogOn == 0 ? 1 : 0;
      break;
    case 'p':
      DisplayOptions.wireframe = DisplayOptions.wireframe == 0 ? 1 : 0;
      break;
    case 'j':
      StepTuneLevel(0.05);
      break;
    case 'k':
      StepTuneLevel(-0.05);
      break;
    default:
      return false;
  }
  ScheduleRedraw();
  return true;
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool ready = AppState.renderContext != NULL;
  switch (message) {
    case WM_CREATE:
      CreateWindowResources(window);
      return 0;
    case WM_DESTROY:
      ReleaseWindowResources(window);
      return 0;
    case WM_SIZE:
      if (!ready) break;
      // Every size change ends at the start-up size, at the current position.
      SetWindowPos(window, HWND_TOP, 80, 80, AppState.windowWidth, AppState.windowHeight,
                   SWP_NOMOVE);
      return 0;
    case WM_PAINT: {
      if (!ready) break;
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      ScheduleRedraw();
      EndPaint(window, &paint);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (ready) DragMotion(HELICOID_X_LPARAM(lParam), HELICOID_Y_LPARAM(lParam));
      break;
    case WM_LBUTTONDOWN:
      if (!ready) break;
      SetCapture(window);
      BeginDrag(TrackballLeftButton, HELICOID_X_LPARAM(lParam), HELICOID_Y_LPARAM(lParam));
      return 0;
    case WM_LBUTTONUP:
      if (!ready) break;
      ReleaseCapture();
      EndDrag(TrackballLeftButton, HELICOID_X_LPARAM(lParam), HELICOID_Y_LPARAM(lParam));
      return 0;
    case WM_CHAR:
      if (RunKeyCommand(window, wParam)) return 0;
      break;
    case WM_QUERYNEWPALETTE:
      if (AppState.palette == NULL) break;
      RefreshPalette();
      ScheduleRedraw();
      return TRUE;
    case WM_PALETTECHANGED:
      if (AppState.palette == NULL || reinterpret_cast<HWND>(wParam) == window) break;
      RefreshPalette();
      ScheduleRedraw();
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
