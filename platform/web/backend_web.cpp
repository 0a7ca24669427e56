// The web backend, for browsers: the program runs as WebAssembly in a page.
//
// Implements: a window as a canvas at its position on the page, shown whole
// (scaled down to fit a small viewport) and drawn at the device pixel ratio,
// the page's title its title and the program's icon the page's icon; the
// screen as the page's viewport; message boxes as HTML dialogs; pointer
// events (mouse, pen and touch) as the left button, with capture, in the
// window's own pixels; keys as key down or up with the character they yield
// as on Windows (Ctrl+letter its control character, Alt a system key,
// Cmd/Meta nothing); the canvas's close box as a close request; a new backing
// store or a restored GL context as an exposed window; one surface format
// (double-buffered, 16-bit depth) and GL contexts of our own GL 1.1 subset
// over WebGL 2 (webgl/gl11.h); timers from the clock.
// Leaves out: minimized and maximized windows, palettes, Z order.
//
// The page side lives in web/library_page.js. Waiting for input, for a
// dialog and for the next animation frame suspends the program (Asyncify),
// so GetMessageA, MessageBoxA and SwapBuffers give the browser its turn.
#include <emscripten.h>

#include <map>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/webgl/gl11.h"

extern "C" {
void hxpage_screen_size(int* width, int* height);
int hxpage_create_window(int id, const char* title, int x, int y, int width, int height);
void hxpage_show_window(int id, int show);
void hxpage_place_window(int id, int move, int x, int y, int size, int width, int height);
void hxpage_destroy_window(int id);
void hxpage_set_icon(const unsigned char* rgba, int width, int height);
void hxpage_capture(int id, int on);
int hxpage_next_event(int* event);
// These three suspend the program until the browser has answered.
void hxpage_wait(int timeoutMs);
// kind: 0 plain, 1 error, 2 warning, 3 information (BoxKind's order).
int hxpage_message_box(const char* caption, const char* text, int kind);
void hxpage_next_frame(void);
}

namespace platform {

struct NativeWindow {
  HWND hwnd;
  int id;
};

struct NativeContext {
  webgl11::Context* gl;
};

}  // namespace platform

namespace {

using platform::NativeContext;
using platform::NativeWindow;

// Event kinds of library_page.js, and the pointer's actions.
enum EventKind { kPointer = 1, kKeyDown = 2, kKeyUp = 3, kClose = 4, kExpose = 5 };
enum PointerAction { kMove = 0, kPress = 1, kRelease = 2 };

struct WebWindows {
  int nextId = 1;
  std::map<int, NativeWindow*> byId;
};

WebWindows& Windows() {
  static WebWindows windows;
  return windows;
}

// e: kind, window id, then three or four values of the kind.
void Handle(const int* e) {
  auto it = Windows().byId.find(e[1]);
  if (it == Windows().byId.end()) return;  // its window has gone
  const HWND hwnd = it->second->hwnd;
  switch (e[0]) {
    case kPointer: {
      const int action = e[2], x = e[3], y = e[4];
      const unsigned held = static_cast<unsigned>(e[5]);
      if (action == kMove) {
        platform::PointerMoved(hwnd, x, y, held);
      } else {
        platform::PointerButton(hwnd, platform::MouseButton::kLeft, action == kPress, x, y, held);
      }
      break;
    }
    case kKeyDown:
    case kKeyUp: {
      // Virtual key, character (or -1), repeat, Alt. The page knows what
      // every key yields; a key that yields none must not fall back to the
      // key table's character (Cmd+F is no 'f'), so it counts as a key whose
      // text comes on its own, and none comes.
      platform::KeyEvent key{static_cast<WPARAM>(e[2]),
                             e[0] == kKeyDown,
                             e[4] != 0,
                             e[5] != 0,
                             0,
                             e[3] < 0 ? platform::kTextFollows : e[3]};
      platform::KeyChanged(hwnd, key);
      break;
    }
    case kClose:
      platform::CloseRequested(hwnd);
      break;
    case kExpose:
      platform::WindowExposed(hwnd);
      break;
    default:
      break;
  }
}

}  // namespace

namespace platform {

NativeWindow* CreateNativeWindow(const WindowDescription& d, std::string* error) {
  const int id = Windows().nextId++;
  if (!hxpage_create_window(id, d.title.c_str(), d.x, d.y, d.width, d.height)) {
    *error = "the page cannot hold another canvas";
    return nullptr;
  }
  NativeWindow* native = new NativeWindow{d.handle, id};
  Windows().byId[id] = native;
  return native;
}

void ShowNativeWindow(NativeWindow* w, ShowState state) {
  // A page has no minimized or maximized canvas: any shown state shows it.
  hxpage_show_window(w->id, state != ShowState::kHidden);
}

void PlaceNativeWindow(NativeWindow* w, const Placement& p) {
  hxpage_place_window(w->id, p.move, p.x, p.y, p.resize, p.width, p.height);
}

void DestroyNativeWindow(NativeWindow* w) {
  hxpage_destroy_window(w->id);
  Windows().byId.erase(w->id);
  delete w;
}

void SetNativeIcon(NativeWindow*, const IconPixels& image) {
  hxpage_set_icon(image.rgba, image.width, image.height);
}

void GetScreenSize(int* width, int* height) {
  hxpage_screen_size(width, height);
}

void PollInput() {
  int e[6];
  while (hxpage_next_event(e)) Handle(e);
}

void WaitInput(int timeoutMs) {
  hxpage_wait(timeoutMs);
}

bool ClockTimers() {
  return true;
}

void SetMouseCapture(NativeWindow* w, bool capture) {
  hxpage_capture(w->id, capture);
}

bool ShowMessageBox(NativeWindow*, const std::string& text, const std::string& caption,
                    BoxKind kind) {
  return hxpage_message_box(caption.c_str(), text.c_str(), static_cast<int>(kind)) != 0;
}

std::vector<SurfaceFormat> SurfaceFormats() {
  // What the drawing framebuffer of webgl/library_webgl.js holds.
  return {SurfaceFormat{16, true}};
}

NativeContext* CreateGLContext(NativeWindow* w, int, std::string* error) {
  webgl11::Context* gl = webgl11::CreateContext(w->id, error);
  return gl == nullptr ? nullptr : new NativeContext{gl};
}

bool MakeGLCurrent(NativeWindow*, NativeContext* context) {
  webgl11::MakeCurrent(context != nullptr ? context->gl : nullptr);
  return true;
}

void DeleteGLContext(NativeContext* context) {
  webgl11::DeleteContext(context->gl);
  delete context;
}

bool Present(NativeWindow*, NativeContext* context) {
  if (context == nullptr) return false;
  webgl11::Present(context->gl);
  hxpage_next_frame();
  return true;
}

}  // namespace platform
