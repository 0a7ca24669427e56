// Inside the headless backend: what its natives (backend_headless.cpp), its
// input script (headless_script.cpp) and its watch on the core's calls
// (headless_watch.cpp) ask of each other.
#pragma once

#include "platform/win32.h"

namespace headless {

// The script: delivers the steps that are due. Called when the program polls.
void DeliverDueSteps();
// The program would block: delivers a step that waits for that, or fails the run.
void ProgramWaits();
// Counts a presented frame (every SwapBuffers on a window with a pixel format).
void FrameCounted();
void ResetScript();

// The watch: installs the core's hooks (at start-up), forgets what it saw.
void InstallHooks();
void ResetWatch();

// The natives: the user sizes the frame of the window (it keeps its position).
void SizeNativeWindow(HWND hwnd, int width, int height);

}  // namespace headless
