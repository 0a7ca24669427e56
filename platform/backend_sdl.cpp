// The SDL2 backend, for people: real windows on X11 or Wayland, a
// compatibility-profile GL context with double buffering and a 16-bit depth
// buffer, SDL's native message boxes, and mouse, keyboard and window events
// turned into the core's input.
#include <SDL.h>
#include <SDL_opengl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "resources/icon.h"

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

namespace {

using platform::DepthFramebuffer;
using platform::NativeContext;
using platform::NativeWindow;

// Framebuffer-object entry points (GL 3.0 or ARB_framebuffer_object), loaded
// once a context exists.
struct FramebufferCalls {
  PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
  PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
  PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
  PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
  PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
  PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
  PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
  PFNGLBLITFRAMEBUFFERPROC blitFramebuffer = nullptr;

  bool Load() {
    if (blitFramebuffer != nullptr) return true;
    auto get = [](const char* name) { return SDL_GL_GetProcAddress(name); };
    genFramebuffers = reinterpret_cast<PFNGLGENFRAMEBUFFERSPROC>(get("glGenFramebuffers"));
    deleteFramebuffers = reinterpret_cast<PFNGLDELETEFRAMEBUFFERSPROC>(get("glDeleteFramebuffers"));
    bindFramebuffer = reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(get("glBindFramebuffer"));
    genRenderbuffers = reinterpret_cast<PFNGLGENRENDERBUFFERSPROC>(get("glGenRenderbuffers"));
    deleteRenderbuffers =
        reinterpret_cast<PFNGLDELETERENDERBUFFERSPROC>(get("glDeleteRenderbuffers"));
    bindRenderbuffer = reinterpret_cast<PFNGLBINDRENDERBUFFERPROC>(get("glBindRenderbuffer"));
    renderbufferStorage =
        reinterpret_cast<PFNGLRENDERBUFFERSTORAGEPROC>(get("glRenderbufferStorage"));
    framebufferRenderbuffer =
        reinterpret_cast<PFNGLFRAMEBUFFERRENDERBUFFERPROC>(get("glFramebufferRenderbuffer"));
    checkFramebufferStatus =
        reinterpret_cast<PFNGLCHECKFRAMEBUFFERSTATUSPROC>(get("glCheckFramebufferStatus"));
    PFNGLBLITFRAMEBUFFERPROC blit =
        reinterpret_cast<PFNGLBLITFRAMEBUFFERPROC>(get("glBlitFramebuffer"));
    if (!genFramebuffers || !deleteFramebuffers || !bindFramebuffer || !genRenderbuffers ||
        !deleteRenderbuffers || !bindRenderbuffer || !renderbufferStorage ||
        !framebufferRenderbuffer || !checkFramebufferStatus) {
      return false;
    }
    blitFramebuffer = blit;
    return blitFramebuffer != nullptr;
  }
};

FramebufferCalls gFramebufferCalls;

// With the context current: if the window's depth buffer is not 16 bits, makes
// and binds a framebuffer of the window's size with a 16-bit depth buffer.
// Leaves `target` empty where the window's own buffer is right or where the GL
// has no framebuffer objects (the picture is then drawn as the driver gives).
void SetUpDepthFramebuffer(SDL_Window* window, DepthFramebuffer* target) {
  GLint depthBits = 0;
  glGetIntegerv(GL_DEPTH_BITS, &depthBits);
  if (depthBits == 16 || !gFramebufferCalls.Load()) return;
  const FramebufferCalls& gl = gFramebufferCalls;
  DepthFramebuffer f;
  SDL_GL_GetDrawableSize(window, &f.width, &f.height);
  if (f.width <= 0 || f.height <= 0) return;
  gl.genFramebuffers(1, &f.framebuffer);
  gl.genRenderbuffers(1, &f.color);
  gl.genRenderbuffers(1, &f.depth);
  gl.bindRenderbuffer(GL_RENDERBUFFER, f.color);
  gl.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, f.width, f.height);
  gl.bindRenderbuffer(GL_RENDERBUFFER, f.depth);
  gl.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, f.width, f.height);
  gl.bindRenderbuffer(GL_RENDERBUFFER, 0);
  gl.bindFramebuffer(GL_FRAMEBUFFER, f.framebuffer);
  gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, f.color);
  gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, f.depth);
  if (gl.checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
    gl.deleteFramebuffers(1, &f.framebuffer);
    gl.deleteRenderbuffers(1, &f.color);
    gl.deleteRenderbuffers(1, &f.depth);
    return;
  }
  *target = f;
}

// With the context current: copies the framebuffer's picture into the
// window's back buffer, ready for the swap.
void CopyToWindow(const DepthFramebuffer& f) {
  const FramebufferCalls& gl = gFramebufferCalls;
  gl.bindFramebuffer(GL_READ_FRAMEBUFFER, f.framebuffer);
  gl.bindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  gl.blitFramebuffer(0, 0, f.width, f.height, 0, 0, f.width, f.height, GL_COLOR_BUFFER_BIT,
                     GL_NEAREST);
}

// The virtual key of an SDL key, or 0 for keys the program is not told about.
WPARAM VirtualKey(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return 0x70 + (key - SDLK_F1);
  switch (key) {
    case SDLK_ESCAPE:
      return VK_ESCAPE;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return VK_RETURN;
    case SDLK_BACKSPACE:
      return VK_BACK;
    case SDLK_TAB:
      return VK_TAB;
    case SDLK_SPACE:
      return VK_SPACE;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
      return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
      return 0x11;
    case SDLK_LEFT:
      return 0x25;
    case SDLK_UP:
      return 0x26;
    case SDLK_RIGHT:
      return 0x27;
    case SDLK_DOWN:
      return 0x28;
    case SDLK_SEMICOLON:
      return 0xBA;
    case SDLK_EQUALS:
      return 0xBB;
    case SDLK_COMMA:
      return 0xBC;
    case SDLK_MINUS:
      return 0xBD;
    case SDLK_PERIOD:
      return 0xBE;
    case SDLK_SLASH:
      return 0xBF;
    case SDLK_BACKQUOTE:
      return 0xC0;
    case SDLK_LEFTBRACKET:
      return 0xDB;
    case SDLK_BACKSLASH:
      return 0xDC;
    case SDLK_RIGHTBRACKET:
      return 0xDD;
    case SDLK_QUOTE:
      return 0xDE;
    default:
      return 0;
  }
}

// The character a key down carries: that of a key SDL gives no text for, or
// kTextFollows for a printable key, whose text event brings the character
// (shifted or not), even when it comes after the key down was taken.
int ControlCharacter(SDL_Keycode key, Uint16 mod) {
  switch (key) {
    case SDLK_ESCAPE:
      return 27;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return '\r';
    case SDLK_BACKSPACE:
      return '\b';
    case SDLK_TAB:
      return '\t';
    default:
      break;
  }
  if ((mod & KMOD_CTRL) && key >= SDLK_a && key <= SDLK_z) return 1 + (key - SDLK_a);
  // A printable key's character comes with its text event, shifted or not.
  if (key >= SDLK_SPACE && key < SDLK_DELETE && !(mod & (KMOD_CTRL | KMOD_ALT)))
    return platform::kTextFollows;
  return platform::kNoCharacter;
}

WPARAM MouseKeys(Uint32 state) {
  WPARAM keys = 0;
  if (state & SDL_BUTTON_LMASK) keys |= MK_LBUTTON;
  if (state & SDL_BUTTON_RMASK) keys |= MK_RBUTTON;
  if (state & SDL_BUTTON_MMASK) keys |= MK_MBUTTON;
  const SDL_Keymod mod = SDL_GetModState();
  if (mod & KMOD_SHIFT) keys |= MK_SHIFT;
  if (mod & KMOD_CTRL) keys |= MK_CONTROL;
  return keys;
}

// Code points of UTF-8 text.
std::vector<int> CodePoints(const char* text) {
  std::vector<int> out;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != 0) {
    int cp = *p, extra = 0;
    if (cp >= 0xF0) {
      cp &= 0x07;
      extra = 3;
    } else if (cp >= 0xE0) {
      cp &= 0x0F;
      extra = 2;
    } else if (cp >= 0xC0) {
      cp &= 0x1F;
      extra = 1;
    }
    ++p;
    for (; extra > 0 && (*p & 0xC0) == 0x80; --extra, ++p) cp = (cp << 6) | (*p & 0x3F);
    out.push_back(cp);
  }
  return out;
}

class SdlBackend : public platform::Backend {
 public:
  NativeWindow* CreateNativeWindow(HWND hwnd, const std::string& title, int x, int y, int width,
                                   int height, DWORD style, std::string* error) override {
    Ready();
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
    SDL_Window* window =
        SDL_CreateWindow(platform::AnsiToUtf8(title).c_str(), x, y, width, height, flags);
    if (window == nullptr) {
      *error = std::string("SDL cannot create the window: ") + SDL_GetError();
      return nullptr;
    }
    auto* native = new NativeWindow{hwnd, window, SDL_GetWindowID(window)};
    windows_[native->id] = native;
    return native;
  }

  void ShowNativeWindow(NativeWindow* w, int cmdShow) override {
    switch (cmdShow) {
      case SW_HIDE:
        SDL_HideWindow(w->window);
        break;
      case SW_SHOWMAXIMIZED:
        SDL_ShowWindow(w->window);
        SDL_MaximizeWindow(w->window);
        break;
      case SW_SHOWMINIMIZED:
      case SW_MINIMIZE:
      case 7:   // SW_SHOWMINNOACTIVE
      case 11:  // SW_FORCEMINIMIZE
        SDL_ShowWindow(w->window);
        SDL_MinimizeWindow(w->window);
        break;
      case SW_RESTORE:
        SDL_ShowWindow(w->window);
        SDL_RestoreWindow(w->window);
        break;
      default:  // shown and activated, as on Windows
        SDL_ShowWindow(w->window);
        SDL_RaiseWindow(w->window);
        break;
    }
  }

  void PlaceNativeWindow(NativeWindow* w, int x, int y, int width, int height,
                         UINT flags) override {
    int cw = 0, ch = 0, cx = 0, cy = 0;
    SDL_GetWindowSize(w->window, &cw, &ch);
    SDL_GetWindowPosition(w->window, &cx, &cy);
    bool restored = false;
    if (!(flags & SWP_NOSIZE) && (cw != width || ch != height)) {
      // A maximized window keeps its size until it is restored, and the window
      // manager then puts it back where it was before; as on Windows, a size
      // set without a move leaves it where the maximized window was.
      restored = (SDL_GetWindowFlags(w->window) & SDL_WINDOW_MAXIMIZED) != 0;
      if (restored) SDL_RestoreWindow(w->window);
      SDL_SetWindowSize(w->window, width, height);
    }
    if (!(flags & SWP_NOMOVE)) {
      if (restored || cx != x || cy != y) SDL_SetWindowPosition(w->window, x, y);
    } else if (restored) {
      SDL_SetWindowPosition(w->window, cx, cy);
    }
  }

  void DestroyNativeWindow(NativeWindow* w) override {
    if (SDL_GL_GetCurrentWindow() == w->window) SDL_GL_MakeCurrent(nullptr, nullptr);
    windows_.erase(w->id);
    SDL_DestroyWindow(w->window);
    delete w;
  }

  void SetNativeIcon(NativeWindow* w, int resourceId) override {
    IconImage image;
    if (!FindIconImage(resourceId, &image)) return;  // the program has no pixels for it
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<unsigned char*>(image.rgba), image.width, image.height, 32, image.width * 4,
        SDL_PIXELFORMAT_RGBA32);
    if (surface == nullptr) return;
    SDL_SetWindowIcon(w->window, surface);
    SDL_FreeSurface(surface);
  }

  void GetScreenSize(int* width, int* height) override {
    Ready();
    SDL_Rect bounds = {0, 0, 0, 0};
    if (SDL_GetDisplayBounds(0, &bounds) != 0) {
      fprintf(stderr, "platform: cannot read the screen size: %s\n", SDL_GetError());
    }
    *width = bounds.w;
    *height = bounds.h;
  }

  void PollInput() override {
    Ready();
    SDL_PumpEvents();
    SDL_Event event;
    while (SDL_PollEvent(&event)) Handle(event);
  }

  void WaitInput(int timeoutMs) override {
    Ready();
    if (timeoutMs < 0) {
      SDL_WaitEvent(nullptr);
    } else {
      SDL_WaitEventTimeout(nullptr, timeoutMs);
    }
  }

  bool ClockTimers() const override { return true; }

  void SetMouseCapture(NativeWindow*, bool capture) override {
    SDL_CaptureMouse(capture ? SDL_TRUE : SDL_FALSE);
  }

  int ShowMessageBox(HWND, NativeWindow* owner, const std::string& text, const std::string& caption,
                     UINT type) override {
    Ready();
    Uint32 flags = 0;
    switch (type & 0xF0) {
      case MB_ICONERROR:
        flags = SDL_MESSAGEBOX_ERROR;
        break;
      case MB_ICONWARNING:
        flags = SDL_MESSAGEBOX_WARNING;
        break;
      case MB_ICONINFORMATION:
        flags = SDL_MESSAGEBOX_INFORMATION;
        break;
      default:
        break;
    }
    if (SDL_ShowSimpleMessageBox(flags, platform::AnsiToUtf8(caption).c_str(),
                                 platform::AnsiToUtf8(text).c_str(),
                                 owner != nullptr ? owner->window : nullptr) != 0) {
      // Not lost: the text goes to stderr, and the caller learns of the failure.
      fprintf(stderr, "platform: cannot show a message box (%s): %s: %s\n", SDL_GetError(),
              caption.c_str(), text.c_str());
      return 0;
    }
    return IDOK;
  }

  std::vector<PIXELFORMATDESCRIPTOR> PixelFormats() override {
    // The one format that the GL attributes set at start-up ask for.
    return {platform::TrueColorFormat(16)};
  }

  NativeContext* CreateGLContext(NativeWindow* w, int, std::string* error) override {
    // SDL makes a new context current; wglCreateContext does not.
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previous = SDL_GL_GetCurrentContext();
    SDL_GLContext context = SDL_GL_CreateContext(w->window);
    if (context == nullptr) {
      *error = std::string("SDL cannot create a GL context: ") + SDL_GetError();
      SDL_GL_MakeCurrent(previous != nullptr ? previousWindow : nullptr, previous);
      return nullptr;
    }
    // Frames follow the display's refresh where the driver allows it, as on
    // Windows; where it refuses (Xvfb), they stay unthrottled.
    SDL_GL_SetSwapInterval(1);
    NativeContext* native = new NativeContext{context, {}};
    SetUpDepthFramebuffer(w->window, &native->offscreen);
    SDL_GL_MakeCurrent(previous != nullptr ? previousWindow : nullptr, previous);
    return native;
  }

  bool MakeGLCurrent(NativeWindow* w, NativeContext* context) override {
    if (context == nullptr) return SDL_GL_MakeCurrent(nullptr, nullptr) == 0;
    return SDL_GL_MakeCurrent(w->window, context->context) == 0;
  }

  void DeleteGLContext(NativeContext* context) override {
    // Deleting the context also deletes its framebuffer and renderbuffers.
    if (SDL_GL_GetCurrentContext() == context->context) SDL_GL_MakeCurrent(nullptr, nullptr);
    SDL_GL_DeleteContext(context->context);
    delete context;
  }

  bool Present(NativeWindow* w, NativeContext* context) override {
    if (context == nullptr) return false;
    SDL_Window* currentWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext current = SDL_GL_GetCurrentContext();
    const bool borrowed = currentWindow != w->window || current != context->context;
    // SDL swaps only the window whose context is current.
    if (borrowed && SDL_GL_MakeCurrent(w->window, context->context) != 0) return false;
    const DepthFramebuffer& offscreen = context->offscreen;
    if (offscreen.framebuffer != 0) CopyToWindow(offscreen);
    SDL_GL_SwapWindow(w->window);
    if (offscreen.framebuffer != 0)
      gFramebufferCalls.bindFramebuffer(GL_FRAMEBUFFER, offscreen.framebuffer);
    if (borrowed) SDL_GL_MakeCurrent(current != nullptr ? currentWindow : nullptr, current);
    return true;
  }

 private:
  // SDL is started at the first need, after checking for a display: without
  // one SDL would quietly fall back to an invisible offscreen window.
  void Ready() {
    if (ready_) return;
    const char* x11 = getenv("DISPLAY");
    const char* wayland = getenv("WAYLAND_DISPLAY");
    const bool haveX11 = x11 != nullptr && *x11 != '\0';
    const bool haveWayland = wayland != nullptr && *wayland != '\0';
    bool usable = haveX11 || haveWayland;
    if (usable) {
      // Try only the display system that is named, so that a failing one
      // does not leave a second complaint on stderr.
      if (haveX11 != haveWayland && getenv("SDL_VIDEODRIVER") == nullptr) {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, haveX11 ? "x11" : "wayland");
      }
      SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
      SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");  // capture only through SetCapture
      SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
      usable = SDL_Init(SDL_INIT_VIDEO) == 0;
      const char* driver = usable ? SDL_GetCurrentVideoDriver() : nullptr;
      usable = driver != nullptr && (strcmp(driver, "x11") == 0 || strcmp(driver, "wayland") == 0);
    }
    if (!usable) {
      fprintf(stderr,
              "error: the viewer needs a display, and neither DISPLAY nor WAYLAND_DISPLAY names "
              "one that can be opened\n");
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
    ready_ = true;
  }

  NativeWindow* Find(Uint32 id) {
    auto it = windows_.find(id);
    return it == windows_.end() ? nullptr : it->second;
  }

  // Key events name the focused window; fall back on the newest window.
  HWND KeyWindow(Uint32 id) {
    if (NativeWindow* w = Find(id)) return w->hwnd;
    return platform::NewestWindow();
  }

  void Handle(const SDL_Event& e) {
    switch (e.type) {
      case SDL_WINDOWEVENT:
        HandleWindow(e.window);
        break;
      case SDL_MOUSEMOTION:
        if (NativeWindow* w = Find(e.motion.windowID)) {
          platform::MouseInput(w->hwnd, WM_MOUSEMOVE, e.motion.x, e.motion.y,
                               MouseKeys(e.motion.state));
        }
        break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: {
        const bool down = e.type == SDL_MOUSEBUTTONDOWN;
        UINT message;
        switch (e.button.button) {
          case SDL_BUTTON_LEFT:
            message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
            break;
          case SDL_BUTTON_RIGHT:
            message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
            break;
          case SDL_BUTTON_MIDDLE:
            message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
            break;
          default:
            return;
        }
        const Uint32 bit = SDL_BUTTON(e.button.button);
        buttons_ = down ? (buttons_ | bit) : (buttons_ & ~bit);
        if (NativeWindow* w = Find(e.button.windowID)) {
          platform::MouseInput(w->hwnd, message, e.button.x, e.button.y, MouseKeys(buttons_));
        }
        break;
      }
      case SDL_KEYDOWN:
      case SDL_KEYUP: {
        const WPARAM vk = VirtualKey(e.key.keysym.sym);
        if (vk == 0) break;
        const HWND hwnd = KeyWindow(e.key.windowID);
        if (hwnd == nullptr) break;
        const bool down = e.type == SDL_KEYDOWN;
        // Repeat count 1, the scan code, previous state and transition bits.
        LPARAM lParam = 1 | ((e.key.keysym.scancode & 0xFF) << 16);
        if (!down) lParam |= 0xC0000000u;
        if (down && e.key.repeat) lParam |= 0x40000000;
        const bool alt = (e.key.keysym.mod & KMOD_ALT) != 0;
        lastKeyWasSystem_ = alt;
        if (alt) {
          platform::PostInput(hwnd, down ? WM_SYSKEYDOWN : WM_SYSKEYUP, vk, lParam);
        } else if (down) {
          platform::PostInput(hwnd, WM_KEYDOWN, vk, lParam,
                              ControlCharacter(e.key.keysym.sym, e.key.keysym.mod));
        } else {
          platform::PostInput(hwnd, WM_KEYUP, vk, lParam);
        }
        break;
      }
      case SDL_TEXTINPUT: {
        if (lastKeyWasSystem_) break;  // Alt combinations are commands, not text
        const HWND hwnd = KeyWindow(e.text.windowID);
        if (hwnd == nullptr) break;
        for (int cp : CodePoints(e.text.text)) {
          if (cp > 0xFF) continue;  // beyond the program's character set
          if (!platform::AttachCharacter(cp)) platform::PostInput(hwnd, WM_CHAR, cp, 1);
        }
        break;
      }
      default:
        break;
    }
  }

  void HandleWindow(const SDL_WindowEvent& e) {
    NativeWindow* w = Find(e.windowID);
    if (w == nullptr) return;
    switch (e.event) {
      case SDL_WINDOWEVENT_EXPOSED:
        platform::WindowExposed(w->hwnd);
        break;
      case SDL_WINDOWEVENT_SIZE_CHANGED:
      case SDL_WINDOWEVENT_MAXIMIZED:
      case SDL_WINDOWEVENT_RESTORED: {
        int width = 0, height = 0;
        SDL_GetWindowSize(w->window, &width, &height);
        if (e.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
          width = e.data1;
          height = e.data2;
        }
        const bool maximized = (SDL_GetWindowFlags(w->window) & SDL_WINDOW_MAXIMIZED) != 0;
        platform::WindowResized(w->hwnd, width, height, maximized ? SIZE_MAXIMIZED : SIZE_RESTORED);
        break;
      }
      case SDL_WINDOWEVENT_MINIMIZED:
        platform::WindowResized(w->hwnd, 0, 0, SIZE_MINIMIZED);
        break;
      case SDL_WINDOWEVENT_MOVED:
        platform::WindowMoved(w->hwnd, e.data1, e.data2);
        break;
      case SDL_WINDOWEVENT_CLOSE:  // the close box
        platform::PostInput(w->hwnd, WM_CLOSE, 0, 0);
        break;
      default:
        break;
    }
  }

  bool ready_ = false;
  std::map<Uint32, NativeWindow*> windows_;
  Uint32 buttons_ = 0;
  bool lastKeyWasSystem_ = false;
};

}  // namespace

platform::Backend& platform::TheBackend() {
  static SdlBackend backend;
  return backend;
}
