// The SDL2 backend, for people.
//
// Implements: real windows on X11 or Wayland, placed and sized as asked, with
// the program's icon, drawn at full resolution on scaled displays (sizes and
// points in device pixels, each window at its own display's scale, followed
// when it changes); one surface format, double-buffered with a 16-bit depth
// buffer (drawn through a framebuffer of that depth where the window's own
// buffer is deeper, sized to the window through every resize);
// compatibility-profile GL contexts; SDL's native message boxes, or our own
// (sdl_box.cpp) where SDL's cannot show; mouse capture; input from SDL's
// events (sdl_events.cpp); timers from the clock, with a blocking wait that
// wakes when one is due. A window nobody can see (minimized or hidden) is not
// presented: its next frame waits for the next event.
// Leaves out: minimizing and restoring beyond what the window manager does
// itself, palettes (true colour only), Z order.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sdl/sdl.h"

namespace sdl {

Backend& B() {
  static Backend backend;
  return backend;
}

void Ready() {
  if (B().ready) return;
  const char* x11 = getenv("DISPLAY");
  const char* wayland = getenv("WAYLAND_DISPLAY");
  const bool haveX11 = x11 != nullptr && *x11 != '\0';
  const bool haveWayland = wayland != nullptr && *wayland != '\0';
  bool usable = haveX11 || haveWayland;
  if (usable) {
    // Try only the display system that is named, so that a failing one does
    // not leave a second complaint on stderr.
    if (haveX11 != haveWayland && getenv("SDL_VIDEODRIVER") == nullptr) {
      SDL_SetHint(SDL_HINT_VIDEODRIVER, haveX11 ? "x11" : "wayland");
    }
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");  // capture only through SetCapture
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // Sizes in logical points on a scaled Wayland output, as SDL 2 gives them
    // (the display's bounds in points, a window's drawable in device pixels).
    // sdl2-compat asks SDL 3 for device pixels everywhere instead, so that a
    // box laid out in points came out at half its size; over SDL 2 the hint
    // is unknown and changes nothing.
    SDL_SetHintWithPriority("SDL_VIDEO_WAYLAND_SCALE_TO_DISPLAY", "0", SDL_HINT_OVERRIDE);
    usable = SDL_Init(SDL_INIT_VIDEO) == 0;
    const char* driver = usable ? SDL_GetCurrentVideoDriver() : nullptr;
    usable = driver != nullptr && (strcmp(driver, "x11") == 0 || strcmp(driver, "wayland") == 0);
  }
  if (!usable) {
    const char* why = SDL_GetError();
    fprintf(stderr,
            "error: the viewer needs a display, and neither DISPLAY nor WAYLAND_DISPLAY names "
            "one that can be opened%s%s%s\n",
            *why != '\0' ? " (" : "", why, *why != '\0' ? ")" : "");
    fflush(stderr);
    exit(1);
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_StartTextInput();
  // The X server's own configure events, for the sizes a window manager
  // insists on (sdl_events.cpp).
  if (strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0) SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
  B().ready = true;
}

float DisplayScale(int display) {
  // A scaled Wayland output reports its size in logical points; its first
  // mode is its size in device pixels. X11 reports device pixels.
  SDL_Rect bounds;
  SDL_DisplayMode native;
  if (strcmp(SDL_GetCurrentVideoDriver(), "wayland") == 0 &&
      SDL_GetDisplayBounds(display, &bounds) == 0 && SDL_GetDisplayMode(display, 0, &native) == 0 &&
      bounds.w > 0 && native.w > bounds.w) {
    return static_cast<float>(native.w) / bounds.w;
  }
  return 1;
}

namespace {

int Round(float value) {
  return static_cast<int>(value + (value < 0 ? -0.5f : 0.5f));
}

}  // namespace

int PointsToPixels(float scale, int points) {
  return Round(points * scale);
}
int PixelsToPoints(float scale, int pixels) {
  return Round(pixels / scale);
}
float ScaleOf(int points, int pixels, float fallback) {
  return points > 0 && pixels > 0 ? static_cast<float>(pixels) / points : fallback;
}

void FollowWindow(platform::NativeWindow* w, int width, int height) {
  // The window's scale from its drawable.
  int points = 0, pixels = 0, unused = 0;
  SDL_GetWindowSize(w->window, &points, &unused);
  SDL_GL_GetDrawableSize(w->window, &pixels, &unused);
  w->scale = ScaleOf(points, pixels, w->scale);
  if (width <= 0 || height <= 0) SDL_GL_GetDrawableSize(w->window, &width, &height);
  if (width <= 0 || height <= 0) return;
  SDL_Window* currentWindow = SDL_GL_GetCurrentWindow();
  SDL_GLContext current = SDL_GL_GetCurrentContext();
  for (platform::NativeContext* c : B().contexts) {
    platform::DepthFramebuffer& f = c->offscreen;
    if (c->window != w->window || f.framebuffer == 0) continue;
    if (f.width == width && f.height == height) continue;
    if (SDL_GL_MakeCurrent(w->window, c->context) != 0) continue;
    std::string why;
    if (!platform::ResizeDepthFramebuffer(&f, width, height, &why)) {
      fprintf(stderr, "platform: %s\n", why.c_str());
    }
  }
  if (SDL_GL_GetCurrentContext() != current) {
    SDL_GL_MakeCurrent(current != nullptr ? currentWindow : nullptr, current);
  }
}

bool OverSdl3() {
  // sdl2-compat, the SDL 2 interface over SDL 3, numbers its releases from
  // patch level 50 on.
  SDL_version linked;
  SDL_GetVersion(&linked);
  return linked.major > 2 || (linked.major == 2 && linked.patch >= 50);
}

namespace {

void KeepFrameInPlace(platform::NativeWindow* w) {
  if (w->placing == 0) return;
  // The borders are known once the window manager has framed the window;
  // until then they read 0 (and always without a window manager).
  int top = 0, left = 0;
  if (SDL_GetWindowBordersSize(w->window, &top, &left, nullptr, nullptr) != 0) {
    w->placing = 0;  // no frame to know (Wayland)
    return;
  }
  --w->placing;
  if (top == 0 && left == 0) return;
  const Uint32 kNotPlaced = SDL_WINDOW_MAXIMIZED | SDL_WINDOW_MINIMIZED | SDL_WINDOW_FULLSCREEN;
  if ((SDL_GetWindowFlags(w->window) & kNotPlaced) != 0) {
    w->placing = 0;
    return;
  }
  const int x = PixelsToPoints(w->scale, w->frameX) + left;
  const int y = PixelsToPoints(w->scale, w->frameY) + top;
  int cx = 0, cy = 0;
  SDL_GetWindowPosition(w->window, &cx, &cy);
  if (cx == x && cy == y) {
    if (w->moved) w->placing = 0;  // the move has landed
    return;
  }
  // The point asked for is corrected by what the last move missed: a move
  // asked for while SDL 3 is still placing the window by its own reckoning
  // is undone by it, and a window manager may take SDL 3's request for the
  // point where the window already is (openbox does), so that it stays put.
  w->askedX = w->moved ? w->askedX + x - cx : x;
  w->askedY = w->moved ? w->askedY + y - cy : y;
  SDL_SetWindowPosition(w->window, w->askedX, w->askedY);
  w->moved = true;
}

}  // namespace

bool KeepFramesInPlace() {
  bool placing = false;
  for (auto& [id, w] : B().windows) {
    KeepFrameInPlace(w);
    placing = placing || w->placing > 0;
  }
  return placing;
}

}  // namespace sdl

namespace platform {

NativeWindow* CreateNativeWindow(const WindowDescription& d, std::string* error) {
  sdl::Ready();
  // Drawn at the display's full resolution, as a Windows program that says it
  // is DPI aware.
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
  if (d.resizable) flags |= SDL_WINDOW_RESIZABLE;
  // Sized at the scale of the display that holds its position; where the
  // window's own scale turns out otherwise, sized again at that.
  const SDL_Point at = {d.x, d.y};
  const int display = SDL_GetPointDisplayIndex(&at);
  auto* native = new NativeWindow{
      d.handle, nullptr, 0, sdl::DisplayScale(display < 0 ? 0 : display), d.x, d.y};
  using sdl::PixelsToPoints;
  SDL_Window* window = SDL_CreateWindow(
      d.title.c_str(), PixelsToPoints(native->scale, d.x), PixelsToPoints(native->scale, d.y),
      PixelsToPoints(native->scale, d.width), PixelsToPoints(native->scale, d.height), flags);
  if (window == nullptr) {
    *error = std::string("SDL cannot create the window: ") + SDL_GetError();
    delete native;
    return nullptr;
  }
  native->window = window;
  native->id = SDL_GetWindowID(window);
  const float assumed = native->scale;
  sdl::FollowWindow(native);
  if (native->scale != assumed) {
    SDL_SetWindowSize(window, PixelsToPoints(native->scale, d.width),
                      PixelsToPoints(native->scale, d.height));
  }
  sdl::B().windows[native->id] = native;
  return native;
}

void ShowNativeWindow(NativeWindow* w, ShowState state) {
  if (state == ShowState::kHidden) {
    SDL_HideWindow(w->window);
    return;
  }
  SDL_ShowWindow(w->window);
  if (state == ShowState::kMaximized) {
    SDL_MaximizeWindow(w->window);
  } else if (state == ShowState::kMinimized) {
    SDL_MinimizeWindow(w->window);
  } else if (state == ShowState::kRestored) {
    SDL_RestoreWindow(w->window);
  } else {
    SDL_RaiseWindow(w->window);  // shown and activated, as on Windows
  }
  const bool placed = state != ShowState::kMaximized && state != ShowState::kMinimized;
  w->placing = placed && sdl::OverSdl3() ? sdl::kPlacingChecks : 0;
  w->moved = false;
}

void PlaceNativeWindow(NativeWindow* w, const Placement& p) {
  int cw = 0, ch = 0, cx = 0, cy = 0;
  SDL_GetWindowSize(w->window, &cw, &ch);
  SDL_GetWindowPosition(w->window, &cx, &cy);
  using sdl::PointsToPixels;
  cw = PointsToPixels(w->scale, cw);
  ch = PointsToPixels(w->scale, ch);
  cx = PointsToPixels(w->scale, cx);
  cy = PointsToPixels(w->scale, cy);
  bool restored = false;
  // A desktop that holds the window at a size of its own (a tiling one) is
  // not asked again for the size it has just kept the window from: SDL 2.28
  // and later wait for an answer to each request and report the size kept as
  // a new size, so the window would be asked round and round, never drawn.
  const bool refused = cw == w->keptWidth && ch == w->keptHeight && p.width == w->askedWidth &&
                       p.height == w->askedHeight;
  if (p.resize && (cw != p.width || ch != p.height) && !refused) {
    // A maximized window keeps its size until it is restored, and the window
    // manager then puts it back where it was before; as on Windows, a size
    // set without a move leaves it where the maximized window was.
    restored = (SDL_GetWindowFlags(w->window) & SDL_WINDOW_MAXIMIZED) != 0;
    if (restored) SDL_RestoreWindow(w->window);
    SDL_SetWindowSize(w->window, sdl::PixelsToPoints(w->scale, p.width),
                      sdl::PixelsToPoints(w->scale, p.height));
    w->askedWidth = p.width, w->askedHeight = p.height;
    w->keptWidth = cw, w->keptHeight = ch;
  } else if (p.resize && cw == p.width && ch == p.height) {
    w->keptWidth = w->keptHeight = 0;
  }
  if (p.move) {
    if (restored || cx != p.x || cy != p.y) {
      SDL_SetWindowPosition(w->window, sdl::PixelsToPoints(w->scale, p.x),
                            sdl::PixelsToPoints(w->scale, p.y));
    }
  } else if (restored) {
    SDL_SetWindowPosition(w->window, sdl::PixelsToPoints(w->scale, cx),
                          sdl::PixelsToPoints(w->scale, cy));
  }
}

void DestroyNativeWindow(NativeWindow* w) {
  if (SDL_GL_GetCurrentWindow() == w->window) SDL_GL_MakeCurrent(nullptr, nullptr);
  sdl::B().windows.erase(w->id);
  SDL_DestroyWindow(w->window);
  delete w;
}

void SetNativeIcon(NativeWindow* w, const IconPixels& image) {
  SDL_Surface* surface =
      SDL_CreateRGBSurfaceWithFormatFrom(const_cast<unsigned char*>(image.rgba), image.width,
                                         image.height, 32, image.width * 4, SDL_PIXELFORMAT_RGBA32);
  if (surface == nullptr) return;
  SDL_SetWindowIcon(w->window, surface);
  SDL_FreeSurface(surface);
}

void GetScreenSize(int* width, int* height) {
  sdl::Ready();
  // In device pixels. Without a size, the window could not be sized from it.
  SDL_Rect bounds = {0, 0, 0, 0};
  if (SDL_GetDisplayBounds(0, &bounds) != 0 || bounds.w <= 0 || bounds.h <= 0) {
    const char* why = SDL_GetError();
    fprintf(stderr, "error: cannot read the screen size%s%s%s\n", *why != '\0' ? " (" : "", why,
            *why != '\0' ? ")" : "");
    fflush(stderr);
    exit(1);
  }
  const float scale = sdl::DisplayScale(0);
  *width = sdl::PointsToPixels(scale, bounds.w);
  *height = sdl::PointsToPixels(scale, bounds.h);
}

void PollInput() {
  sdl::Ready();
  SDL_PumpEvents();
  SDL_Event event;
  while (SDL_PollEvent(&event)) sdl::HandleEvent(event);
  sdl::KeepFramesInPlace();
}

void WaitInput(int timeoutMs) {
  sdl::Ready();
  // While a window is being placed, its position is looked at again every
  // kPlacingPeriodMs, whether or not SDL reports a move.
  if (sdl::KeepFramesInPlace() && (timeoutMs < 0 || timeoutMs > sdl::kPlacingPeriodMs)) {
    timeoutMs = sdl::kPlacingPeriodMs;
  }
  if (timeoutMs < 0) {
    SDL_WaitEvent(nullptr);
  } else {
    SDL_WaitEventTimeout(nullptr, timeoutMs);
  }
}

bool ClockTimers() {
  return true;
}

void SetMouseCapture(NativeWindow*, bool capture) {
  SDL_CaptureMouse(capture ? SDL_TRUE : SDL_FALSE);
}

bool ShowMessageBox(NativeWindow* owner, const std::string& text, const std::string& caption,
                    BoxKind kind) {
  sdl::Ready();
  Uint32 flags = 0;
  switch (kind) {
    case BoxKind::kError:
      flags = SDL_MESSAGEBOX_ERROR;
      break;
    case BoxKind::kWarning:
      flags = SDL_MESSAGEBOX_WARNING;
      break;
    case BoxKind::kInformation:
      flags = SDL_MESSAGEBOX_INFORMATION;
      break;
    case BoxKind::kPlain:
      break;
  }
  if (SDL_ShowSimpleMessageBox(flags, caption.c_str(), text.c_str(),
                               owner != nullptr ? owner->window : nullptr) == 0) {
    return true;
  }
  // SDL's own box needs a helper program on some displays (zenity on
  // Wayland); where it has none, the box is drawn here.
  std::string why = SDL_GetError();
  if (sdl::ShowOwnMessageBox(text, caption, kind, &why)) return true;
  fprintf(stderr, "platform: cannot show a message box: %s\n", why.c_str());
  return false;
}

std::vector<SurfaceFormat> SurfaceFormats() {
  // The one format that the GL attributes set at start-up ask for.
  return {SurfaceFormat{16, true}};
}

NativeContext* CreateGLContext(NativeWindow* w, int, std::string* error) {
  // SDL makes a new context current; wglCreateContext does not.
  SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
  SDL_GLContext previous = SDL_GL_GetCurrentContext();
  SDL_GLContext context = SDL_GL_CreateContext(w->window);
  // Some drivers that give only OpenGL 2.1 refuse a context that names a
  // profile: ask them for a plain one, which has the same immediate mode, and
  // keep asking so for the windows after this one.
  int profile = 0;
  if (context == nullptr && SDL_GL_GetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, &profile) == 0 &&
      profile != 0) {
    fprintf(stderr, "platform: no compatibility-profile context (%s): asking for a plain one\n",
            SDL_GetError());
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, 0);
    context = SDL_GL_CreateContext(w->window);
  }
  if (context == nullptr) {
    *error = std::string("SDL cannot create a GL context: ") + SDL_GetError();
    SDL_GL_MakeCurrent(previous != nullptr ? previousWindow : nullptr, previous);
    return nullptr;
  }
  // Frames follow the display's refresh where the driver allows it, as on
  // Windows; where it refuses (Xvfb), they stay unthrottled.
  SDL_GL_SetSwapInterval(1);
  NativeContext* native = new NativeContext{context, w->window, {}};
  GLint depthBits = 0;
  glGetIntegerv(GL_DEPTH_BITS, &depthBits);
  int width = 0, height = 0;
  SDL_GL_GetDrawableSize(w->window, &width, &height);
  std::string why;
  if (depthBits != 16 && width > 0 && height > 0 &&
      !CreateDepthFramebuffer(SDL_GL_GetProcAddress, width, height, &native->offscreen, &why)) {
    fprintf(stderr, "platform: drawing with the window's %d-bit depth buffer: %s\n", depthBits,
            why.c_str());
  }
  sdl::B().contexts.push_back(native);
  SDL_GL_MakeCurrent(previous != nullptr ? previousWindow : nullptr, previous);
  return native;
}

bool MakeGLCurrent(NativeWindow* w, NativeContext* context) {
  if (context == nullptr) return SDL_GL_MakeCurrent(nullptr, nullptr) == 0;
  return SDL_GL_MakeCurrent(w->window, context->context) == 0;
}

void DeleteGLContext(NativeContext* context) {
  // Deleting the context also deletes its framebuffer and renderbuffers.
  if (SDL_GL_GetCurrentContext() == context->context) SDL_GL_MakeCurrent(nullptr, nullptr);
  SDL_GL_DeleteContext(context->context);
  auto& contexts = sdl::B().contexts;
  contexts.erase(std::remove(contexts.begin(), contexts.end(), context), contexts.end());
  delete context;
}

bool Present(NativeWindow* w, NativeContext* context) {
  if (context == nullptr) return false;
  if ((SDL_GetWindowFlags(w->window) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) != 0) {
    // Nobody can see this picture, nor the next one: as a browser holds a
    // hidden page's frames, the program waits here for the next event (the
    // window restored, input, a close request) instead of drawing frames
    // back to back. The event stays queued for the program.
    SDL_WaitEvent(nullptr);
    return true;
  }
  SDL_Window* currentWindow = SDL_GL_GetCurrentWindow();
  SDL_GLContext current = SDL_GL_GetCurrentContext();
  const bool borrowed = currentWindow != w->window || current != context->context;
  // SDL swaps only the window whose context is current.
  if (borrowed && SDL_GL_MakeCurrent(w->window, context->context) != 0) return false;
  const DepthFramebuffer& offscreen = context->offscreen;
  if (offscreen.framebuffer != 0) CopyToWindow(offscreen);
  SDL_GL_SwapWindow(w->window);
  if (offscreen.framebuffer != 0) BindDepthFramebuffer(offscreen);
  if (borrowed) SDL_GL_MakeCurrent(current != nullptr ? currentWindow : nullptr, current);
  return true;
}

}  // namespace platform
