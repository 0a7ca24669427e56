// Inside the SDL2 backend: what its files share.
//   backend_sdl.cpp       the seam: windows, message boxes, GL contexts, present
//   sdl_events.cpp        SDL events turned into the core's events
#pragma once

#include <SDL.h>
#include <SDL_opengl.h>

#include <map>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/gl/depth_framebuffer.h"

namespace platform {

// Sizes and points that the core sees are device pixels; SDL's are the
// display's logical points, `scale` device pixels each (2 on a Wayland output
// at scale 2; 1 under X11). The scale is the window's own, read again whenever
// its size or its display changes.
// `frameX`, `frameY`: where the window's frame belongs, in device pixels, as
// Windows places a window; `placing`: how many more times it is looked at,
// while it has been shown and not yet seen in place after a move (`moved`).
// `askedWidth` x `askedHeight`: the size last asked of the desktop, while the
// window was `keptWidth` x `keptHeight` (0 once it has the size).
struct NativeWindow {
  HWND hwnd;
  SDL_Window* window;
  Uint32 id;
  float scale;
  int frameX = 0, frameY = 0;
  int placing = 0;
  bool moved = false;
  int askedX = 0, askedY = 0;  // the point of the last move
  int askedWidth = 0, askedHeight = 0, keptWidth = 0, keptHeight = 0;
};

// Where the window's own depth buffer is not the 16 bits asked for (GLX
// commonly gives 24 or 32), the context draws into a framebuffer of its own
// (`offscreen`), copied to the window at each present.
// The framebuffer follows the size of the window the context was made on.
struct NativeContext {
  SDL_GLContext context;
  SDL_Window* window;
  DepthFramebuffer offscreen;
};

}  // namespace platform

namespace sdl {

struct Backend {
  bool ready = false;
  std::map<Uint32, platform::NativeWindow*> windows;  // by SDL window id
  Uint32 buttons = 0;                                 // SDL button mask
  bool lastKeyWasSystem = false;
  std::vector<platform::NativeContext*> contexts;
};
Backend& B();

// Starts SDL at the first need, after checking for a display: without one SDL
// would quietly fall back to an invisible offscreen window. Ends the process
// with a clear line if there is none.
void Ready();

// Device pixels a logical point on a display (on X11 always 1).
float DisplayScale(int display);
// Logical points in device pixels at `scale` device pixels a point, and
// back: the one rounding rule of the backend and our box (halves away from
// zero, since positions may be negative).
int PointsToPixels(float scale, int points);
int PixelsToPoints(float scale, int pixels);
// Device pixels a point of a window `points` wide drawn `pixels` wide;
// `fallback` while either is unknown.
float ScaleOf(int points, int pixels, float fallback);
// After a change of the window's size or display: its scale read again, and
// the framebuffers of the contexts made on it sized to its drawable, which is
// `width` x `height` device pixels where the backend knows better than SDL
// (0: SDL's drawable size).
void FollowWindow(platform::NativeWindow* w, int width = 0, int height = 0);

// Windows places a window by its frame. SDL 2 on X11 creates a window with
// its frame at the point asked for; SDL 3 (also under sdl2-compat, the
// system's SDL 2 on newer desktops) puts its client area there instead. So
// over SDL 3, once the desktop has framed a shown window (its borders are
// known), its client area is moved to where the frame's corner lands on
// (frameX, frameY). KeepFramesInPlace looks at every window being placed, after
// each batch of events and every kPlacingPeriodMs while the loop waits,
// kPlacingChecks times at the most after it is shown and no more once a move
// has landed, so that the user's own moves stand; true while any is being
// placed. A window without a frame (no window manager; Wayland, where the
// compositor places windows) is left where it is.
constexpr int kPlacingChecks = 60, kPlacingPeriodMs = 50;
// True where SDL 3 runs underneath (sdl2-compat).
bool OverSdl3();
bool KeepFramesInPlace();

// sdl_events.cpp
void HandleEvent(const SDL_Event& event);
// Code points of UTF-8 text.
std::vector<int> CodePoints(const char* text);

// sdl_box.cpp: a message box of our own, in an SDL window, for displays where
// SDL's cannot show (Wayland without zenity). Modal: input to other windows is
// dropped while it is up. False, with the reason in *error, where even this
// box cannot be shown.
bool ShowOwnMessageBox(const std::string& text, const std::string& caption, platform::BoxKind kind,
                       std::string* error);

}  // namespace sdl
