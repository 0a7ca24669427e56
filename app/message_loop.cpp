#include "app/app.h"
#include "records/trackball_state.h"
#include "scene/scene.h"

// Waiting messages always come first; a frame is drawn only when the queue is
// empty and the idle hook is set. With the hook empty the loop sleeps in
// GetMessageA.
int RunMessageLoop(void) {
  MSG message = {};
  for (;;) {
    while (IdleHook != NULL) {
      if (PeekMessageA(&message, NULL, 0, 0, PM_NOREMOVE)) break;
      IdleHook();
    }
    if (GetMessageA(&message, NULL, 0, 0) != 1) return static_cast<int>(message.wParam);
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void IdleRender(void) {
  // Out of the slot before drawing, unless frames are to run back to back.
  if (TrackballState.spinAfterRelease == 0) IdleHook = NULL;
  RenderFrame();
}
