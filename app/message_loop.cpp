#include "app/app.h"

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
