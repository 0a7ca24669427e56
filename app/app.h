// Entry, window procedure and message loop: the top layer of the viewer.
#pragma once

// Nothing below app/ includes it: the lower layers meet the app only in the
// shared records (records/).
#ifndef HELICOID_APP_LAYER
#error "app/app.h is the top layer of the viewer; below it include the records (records/)"
#endif

#include "records/idle.h"
#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

int RunMessageLoop(void);
// The idle hook's frame: out of the slot first unless frames run back to
// back, then RenderFrame. WinMain hands it to the records as RedrawCallback.
void IdleRender(void);
