// Inside the SDL2 backend: what its files share.
//   backend_sdl.cpp       the seam: windows, message boxes, GL contexts, present
//   sdl_events.cpp        SDL events turned into the core's events
#pragma once

#include <SDL.h>
#include <SDL_opengl.h>

#include <map>

#include "platform/backend.h"
#include "platform/depth_framebuffer.h"

namespace platform {

struct NativeWindow {
  HWND hwnd;
  SDL_Window* window;
  Uint32 id;
};

// Where the window's own depth buffer is not the 16 bits asked for (GLX
// commonly gives 24 or 32), the context draws into a framebuffer of its own
// (`offscreen`), copied to the window at each present.
struct NativeContext {
  SDL_GLContext context;
  DepthFramebuffer offscreen;
};

}  // namespace platform

namespace sdl {

struct Backend {
  bool ready = false;
  std::map<Uint32, platform::NativeWindow*> windows;  // by SDL window id
  Uint32 buttons = 0;                                 // SDL button mask
  bool lastKeyWasSystem = false;
};
Backend& B();

// Starts SDL at the first need, after checking for a display: without one SDL
// would quietly fall back to an invisible offscreen window. Ends the process
// with a clear line if there is none.
void Ready();

// sdl_events.cpp
void HandleEvent(const SDL_Event& event);

}  // namespace sdl
