// Control of the headless backend, for tests, benchmarks and the snapshot tool.
//
// The headless backend runs the Windows calls of platform/win32.h with no
// display: windows have no frame (client area = outer size), GL renders into
// an offscreen EGL target of the window's size, input comes from a script,
// message boxes are recorded and answered, and failures can be injected.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/core/core_hooks.h"
#include "platform/win32.h"

namespace headless {

// Back to the start: no classes, windows, timers, queued messages or capture;
// script, records, call log and faults cleared; GL contexts deleted; screen
// 1280 x 1024; frames keep their pixels again. The viewer's own records are not touched.
void Reset();

// What GetSystemMetrics(SM_CXSCREEN / SM_CYSCREEN) answer.
void SetScreenSize(int width, int height);

// ---- Input script -----------------------------------------------------------
// Steps are delivered in the order they were added, to the main window (the
// newest window that still exists). A step is due either
//   - kWhenWaiting: when the program next waits for input, that is when
//     GetMessageA finds nothing to return and would block; or
//   - afterFrames = N >= 0: once N frames have been presented since the step
//     before it was delivered (0: together with the step before it). Checked in
//     every PeekMessageA and GetMessageA, so steps reach a program that draws
//     frames back to back and never waits. Every SwapBuffers on a window with a
//     pixel format counts as a frame here, also one with no GL context to show.
// If the program waits while no step is left, or presents the frame limit
// (1,000,000 unless SetFrameLimit says otherwise) of frames without a step
// becoming due, the run fails: a line on stderr says so, ScriptFailed() turns
// true and GetMessageA returns 0 with wParam kScriptFailedExitCode, so WinMain
// returns that code.
constexpr int kWhenWaiting = -1;
constexpr int kScriptFailedExitCode = 86;

// How many frames may be presented without a step becoming due before the run
// fails; a test sets what its script needs, so that a program that keeps
// drawing when it should wait fails in seconds. Reset() puts back 1,000,000.
void SetFrameLimit(long long frames);

// Mouse input goes, as on Windows, to the window that has the capture (the
// point converted, negative or beyond the window included); without capture
// only a point inside the client area reaches the window.
void Press(int x, int y, int afterFrames = kWhenWaiting);    // WM_LBUTTONDOWN at a client point
void Move(int x, int y, int afterFrames = kWhenWaiting);     // WM_MOUSEMOVE (MK_LBUTTON while held)
void Release(int x, int y, int afterFrames = kWhenWaiting);  // WM_LBUTTONUP
// A key that yields a character: WM_KEYDOWN, then TranslateMessage posts
// WM_CHAR with the character ('f' = 102, 'F' = 70, Esc = 27).
void Type(int character, int afterFrames = kWhenWaiting);
void Close(int afterFrames = kWhenWaiting);  // the close box: WM_CLOSE
// The user sizes the frame: the window takes the size, then WM_SIZE is sent.
void Resize(int width, int height, int afterFrames = kWhenWaiting);
// WM_PALETTECHANGED with wParam = the main window itself or another window.
void PaletteChanged(bool fromThisWindow, int afterFrames = kWhenWaiting);
void QueryNewPalette(int afterFrames = kWhenWaiting);  // WM_QUERYNEWPALETTE (sent)
void TimerTick(int afterFrames = kWhenWaiting);        // WM_TIMER for every live timer
// Any message, posted to the main window.
void Post(UINT message, WPARAM wParam, LPARAM lParam, int afterFrames = kWhenWaiting);
// Runs code of the test at that moment (it may inspect records or post messages).
void Call(std::function<void()> callback, int afterFrames = kWhenWaiting);

size_t PendingSteps();
bool ScriptFailed();

// ---- Message boxes ----------------------------------------------------------
struct MessageBoxRecord {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
};
// Every MessageBoxA call, in order. Each is also echoed to stderr as
//   headless: MessageBoxA caption="..." text="..." type=N
// (line feeds in the text written as \n) so that a test of a process that
// exits can match it.
const std::vector<MessageBoxRecord>& MessageBoxes();
// Runs while a box is open (the program is blocked in MessageBoxA); its result
// is the box's result. Default: answer IDOK at once.
void OnMessageBox(std::function<int(const MessageBoxRecord&)> answer);

// ---- Calls made -------------------------------------------------------------
// The platform calls the program made, in order, each as its function name,
// a blank and a short description of the arguments, e.g.
//   "RegisterClassA OpenGL", "CreateWindowExA OpenGL", "SetPixelFormat",
//   "wglCreateContext", "SwapBuffers", "SetWindowPos 819x819 flags=2".
const std::vector<std::string>& CallLog();
// How many entries of the log start with this function name. The log keeps
// its first 200,000 entries; a bare function name is counted over every call,
// also beyond that, while a name with arguments ("DispatchMessageA 0x0102")
// is matched against the kept entries.
int CallCount(const std::string& function);
void ClearCallLog();

// ---- Injected failures and formats -------------------------------------------
struct Faults {
  bool registerClassFails = false;      // RegisterClassA returns 0
  bool createWindowFails = false;       // CreateWindowExA returns null, sends nothing
  bool getDCFails = false;              // GetDC returns null
  bool choosePixelFormatFails = false;  // ChoosePixelFormat returns 0
  bool setPixelFormatFails = false;     // SetPixelFormat returns FALSE
  bool createPaletteFails = false;      // CreatePalette returns null
  bool createContextFails = false;      // wglCreateContext returns null
  // The chosen format needs a palette: DescribePixelFormat reports
  // PFD_NEED_PALETTE with these colour bits and shifts.
  bool paletteFormat = false;
  BYTE pixelType = PFD_TYPE_RGBA;
  BYTE colorBits = 8;
  BYTE redBits = 3, redShift = 0;
  BYTE greenBits = 3, greenShift = 3;
  BYTE blueBits = 2, blueShift = 6;
};
void SetFaults(const Faults& faults);

// The LOGPALETTE that the last successful or failing CreatePalette was given;
// null if there was none.
struct PaletteRecord {
  WORD version;
  std::vector<PALETTEENTRY> entries;
};
const PaletteRecord* LastPalette();

// ---- Frames -----------------------------------------------------------------
int PresentedFrames();
// Called after every SwapBuffers, with the frame still current.
void OnPresent(std::function<void()> callback);
// Whether SwapBuffers copies the frame's pixels (default true; benchmarks and
// long runs may turn it off).
void KeepFramePixels(bool keep);
// The last presented frame as RGBA bytes, rows top to bottom, and its size.
const std::vector<unsigned char>& LastFramePixels();
int FrameWidth();
int FrameHeight();

// ---- Windows ----------------------------------------------------------------
// handle, class name, title, style, extended style, the outer rectangle in
// screen pixels, and whether it is visible.
using WindowInfo = platform::WindowFacts;
// The main window (newest that still exists); false if there is none.
bool MainWindow(WindowInfo* info);

}  // namespace headless
