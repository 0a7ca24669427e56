// Entry, window procedure, message loop and idle hook.
#pragma once

#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The one idle-callback slot: null, or IdleRender while frames are wanted.
typedef void (*IdleCallback)(void);
extern IdleCallback IdleHook;

int RunMessageLoop(void);
void IdleRender(void);
void ScheduleRedraw(void);
