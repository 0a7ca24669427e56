// Entry, window procedure and message loop: the top layer of the viewer.
#pragma once

// Lower layers (glcontext/, scene/, trackball/, model/) reach app/ only
// through the shared records, app/app_state.h and app/idle.h.
#ifndef HELICOID_APP_LAYER
#error "app/app.h is the top layer; below it include app/app_state.h or app/idle.h"
#endif

#include "app/idle.h"
#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

int RunMessageLoop(void);
