// Inside the SDL2 backend: what its files share.
//   backend_sdl.cpp       the seam: windows, message boxes, GL contexts, present
//   sdl_events.cpp        SDL events turned into the core's events
//   sdl_depth_buffer.cpp  the 16-bit depth framebuffer for deeper window buffers
#pragma once

#include <SDL.h>
#include <SDL_opengl.h>

#include <map>

#include "platform/backend.h"

namespace platform {

struct NativeWindow {
  HWND hwnd;
  SDL_Window* window;
  Uint32 id;
};

// Where the window's own depth buffer is not the 16 bits asked for (GLX
// commonly gives 24 or 32), the context draws into a framebuffer of its own
// with a 16-bit depth buffer, copied to the window at each present. The model
// draws every triangle twice, once in each winding; a deeper buffer tells the
// two copies apart by rounding noise and stripes the picture.
struct DepthFramebuffer {
  GLuint framebuffer = 0;
  GLuint color = 0;
  GLuint depth = 0;
  int width = 0;
  int height = 0;
};

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

// sdl_depth_buffer.cpp, with the context current.
// If the window's depth buffer is not 16 bits, makes and binds a framebuffer
// of the window's size with a 16-bit depth buffer. Leaves `target` empty where
// the window's own buffer is right or where the GL has no framebuffer objects
// (the picture is then drawn as the driver gives).
void SetUpDepthFramebuffer(SDL_Window* window, platform::DepthFramebuffer* target);
// Copies the framebuffer's picture into the window's back buffer, ready for
// the swap.
void CopyToWindow(const platform::DepthFramebuffer& f);
// Binds the framebuffer again after the swap.
void BindDepthFramebuffer(const platform::DepthFramebuffer& f);

}  // namespace sdl
