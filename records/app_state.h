// Process-wide handles and the fixed window size.
#pragma once

#include <stdint.h>

#include "platform/win32.h"

struct AppStateRecord {
  HDC deviceContext;    // the window's device context, from WM_CREATE to WM_DESTROY
  HGLRC renderContext;  // null until created; non-null means GL is ready
  HPALETTE palette;     // null unless the pixel format needs a palette
  int32_t windowWidth;  // outer window size in pixels, fixed before the window exists
  int32_t windowHeight;
};

extern AppStateRecord AppState;
