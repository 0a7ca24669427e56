// SDL events turned into the core's events: pointer motion and buttons, keys
// as key down plus the text that follows them, and what happens to windows.
#include <vector>

#include "platform/sdl/sdl.h"
// After our headers: Xlib's names (Bool, Status, Font) stay out of them.
#include <SDL_syswm.h>

namespace sdl {
namespace {

using platform::NativeWindow;

// The virtual key of an SDL key, or 0 for keys the program is not told about.
WPARAM VirtualKey(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
  static const std::map<SDL_Keycode, WPARAM> kKeys = {
      {SDLK_ESCAPE, VK_ESCAPE},     {SDLK_RETURN, VK_RETURN},   {SDLK_KP_ENTER, VK_RETURN},
      {SDLK_BACKSPACE, VK_BACK},    {SDLK_TAB, VK_TAB},         {SDLK_SPACE, VK_SPACE},
      {SDLK_LSHIFT, VK_SHIFT},      {SDLK_RSHIFT, VK_SHIFT},    {SDLK_LCTRL, VK_CONTROL},
      {SDLK_RCTRL, VK_CONTROL},     {SDLK_LEFT, VK_LEFT},       {SDLK_UP, VK_UP},
      {SDLK_RIGHT, VK_RIGHT},       {SDLK_DOWN, VK_DOWN},       {SDLK_SEMICOLON, VK_OEM_1},
      {SDLK_EQUALS, VK_OEM_PLUS},   {SDLK_COMMA, VK_OEM_COMMA}, {SDLK_MINUS, VK_OEM_MINUS},
      {SDLK_PERIOD, VK_OEM_PERIOD}, {SDLK_SLASH, VK_OEM_2},     {SDLK_BACKQUOTE, VK_OEM_3},
      {SDLK_LEFTBRACKET, VK_OEM_4}, {SDLK_BACKSLASH, VK_OEM_5}, {SDLK_RIGHTBRACKET, VK_OEM_6},
      {SDLK_QUOTE, VK_OEM_7},
  };
  auto it = kKeys.find(key);
  return it == kKeys.end() ? 0 : it->second;
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
  if (key >= SDLK_SPACE && key < SDLK_DELETE && !(mod & (KMOD_CTRL | KMOD_ALT))) {
    return platform::kTextFollows;
  }
  return platform::kNoCharacter;
}

unsigned Held(Uint32 buttons) {
  unsigned held = 0;
  if (buttons & SDL_BUTTON_LMASK) held |= platform::kHeldLeft;
  if (buttons & SDL_BUTTON_RMASK) held |= platform::kHeldRight;
  if (buttons & SDL_BUTTON_MMASK) held |= platform::kHeldMiddle;
  const SDL_Keymod mod = SDL_GetModState();
  if (mod & KMOD_SHIFT) held |= platform::kHeldShift;
  if (mod & KMOD_CTRL) held |= platform::kHeldControl;
  return held;
}

NativeWindow* Find(Uint32 id) {
  auto it = B().windows.find(id);
  return it == B().windows.end() ? nullptr : it->second;
}

// Key events name the focused window; fall back on the newest window.
HWND KeyWindow(Uint32 id) {
  if (NativeWindow* w = Find(id)) return w->hwnd;
  return B().windows.empty() ? nullptr : B().windows.rbegin()->second->hwnd;
}

void HandleButton(const SDL_MouseButtonEvent& e, bool down) {
  platform::MouseButton button;
  switch (e.button) {
    case SDL_BUTTON_LEFT:
      button = platform::MouseButton::kLeft;
      break;
    case SDL_BUTTON_RIGHT:
      button = platform::MouseButton::kRight;
      break;
    case SDL_BUTTON_MIDDLE:
      button = platform::MouseButton::kMiddle;
      break;
    default:
      return;
  }
  const Uint32 bit = SDL_BUTTON(e.button);
  NativeWindow* w = Find(e.windowID);
  int x = e.x, y = e.y;
  if (w != nullptr && !down && OverSdl3()) {
    // SDL 3 on X11 may report a release before the motions that came ahead
    // of it (a quick flick), at the point of the press: the release is
    // given where the pointer is, after a move there with the button held,
    // as SDL 2 reports them.
    int px = 0, py = 0, wx = 0, wy = 0;
    SDL_GetGlobalMouseState(&px, &py);
    SDL_GetWindowPosition(w->window, &wx, &wy);
    x = px - wx, y = py - wy;
    if (x != e.x || y != e.y) {
      platform::PointerMoved(w->hwnd, PointsToPixels(w->scale, x), PointsToPixels(w->scale, y),
                             Held(B().buttons));
    }
  }
  B().buttons = down ? (B().buttons | bit) : (B().buttons & ~bit);
  if (w != nullptr) {
    platform::PointerButton(w->hwnd, button, down, PointsToPixels(w->scale, x),
                            PointsToPixels(w->scale, y), Held(B().buttons));
  }
}

void HandleKey(const SDL_KeyboardEvent& e) {
  const WPARAM vk = VirtualKey(e.keysym.sym);
  if (vk == 0) return;
  const HWND hwnd = KeyWindow(e.windowID);
  if (hwnd == nullptr) return;
  const bool down = e.type == SDL_KEYDOWN;
  const bool alt = (e.keysym.mod & KMOD_ALT) != 0;
  B().lastKeyWasSystem = alt;
  platform::KeyChanged(hwnd, platform::KeyEvent{vk, down, down && e.repeat != 0, alt,
                                                static_cast<int>(e.keysym.scancode),
                                                ControlCharacter(e.keysym.sym, e.keysym.mod)});
}

void HandleText(const SDL_TextInputEvent& e) {
  if (B().lastKeyWasSystem) return;  // Alt combinations are commands, not text
  const HWND hwnd = KeyWindow(e.windowID);
  if (hwnd == nullptr) return;
  for (int cp : CodePoints(e.text)) platform::KeyText(hwnd, cp);
}

void HandleWindow(const SDL_WindowEvent& e) {
  NativeWindow* w = Find(e.windowID);
  if (w == nullptr) return;
  switch (e.event) {
    case SDL_WINDOWEVENT_EXPOSED:
      platform::WindowExposed(w->hwnd);
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_DISPLAY_CHANGED:  // perhaps to another scale
    case SDL_WINDOWEVENT_MAXIMIZED:
    case SDL_WINDOWEVENT_RESTORED: {
      // The desktop may give any size (a tiling one insists on its own):
      // the window's framebuffer and scale follow it before anything is
      // drawn at it.
      FollowWindow(w);
      int width = 0, height = 0;
      SDL_GetWindowSize(w->window, &width, &height);
      if (e.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        width = e.data1;
        height = e.data2;
      }
      const bool maximized = (SDL_GetWindowFlags(w->window) & SDL_WINDOW_MAXIMIZED) != 0;
      platform::WindowResized(
          w->hwnd, PointsToPixels(w->scale, width), PointsToPixels(w->scale, height),
          maximized ? platform::SizeState::kMaximized : platform::SizeState::kRestored);
      break;
    }
    case SDL_WINDOWEVENT_MINIMIZED:
      platform::WindowResized(w->hwnd, 0, 0, platform::SizeState::kMinimized);
      break;
    case SDL_WINDOWEVENT_MOVED:
      platform::WindowMoved(w->hwnd, PointsToPixels(w->scale, e.data1),
                            PointsToPixels(w->scale, e.data2));
      break;
    case SDL_WINDOWEVENT_CLOSE:  // the close box
      platform::CloseRequested(w->hwnd);
      break;
    default:
      break;
  }
}

// The X server's word on a window's size. SDL believes a size it asked for
// (the program's SetWindowPos) even where the window manager refuses it, as a
// tiling one does, and then reports nothing when the manager insists on its
// own size: the configure event says what the window really is.
void HandleX11(const SDL_SysWMmsg& msg) {
  if (msg.subsystem != SDL_SYSWM_X11 || msg.msg.x11.event.type != ConfigureNotify) return;
  const XConfigureEvent& c = msg.msg.x11.event.xconfigure;
  for (const auto& entry : B().windows) {
    NativeWindow* w = entry.second;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(w->window, &info) || info.subsystem != SDL_SYSWM_X11 ||
        info.info.x11.window != c.window) {
      continue;
    }
    FollowWindow(w, c.width, c.height);
    const bool maximized = (SDL_GetWindowFlags(w->window) & SDL_WINDOW_MAXIMIZED) != 0;
    platform::WindowResized(
        w->hwnd, c.width, c.height,
        maximized ? platform::SizeState::kMaximized : platform::SizeState::kRestored);
    return;
  }
}

}  // namespace

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

void HandleEvent(const SDL_Event& e) {
  switch (e.type) {
    case SDL_WINDOWEVENT:
      HandleWindow(e.window);
      break;
    case SDL_MOUSEMOTION:
      if (NativeWindow* w = Find(e.motion.windowID)) {
        platform::PointerMoved(w->hwnd, PointsToPixels(w->scale, e.motion.x),
                               PointsToPixels(w->scale, e.motion.y), Held(e.motion.state));
      }
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      HandleButton(e.button, e.type == SDL_MOUSEBUTTONDOWN);
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      HandleKey(e.key);
      break;
    case SDL_TEXTINPUT:
      HandleText(e.text);
      break;
    case SDL_SYSWMEVENT:
      if (e.syswm.msg != nullptr) HandleX11(*e.syswm.msg);
      break;
    default:
      break;
  }
}

}  // namespace sdl
