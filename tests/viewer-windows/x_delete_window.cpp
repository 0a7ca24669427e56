// Asks an X window to close the way a window manager does: a WM_PROTOCOLS
// client message carrying WM_DELETE_WINDOW.
//
//   helicoid-x-delete-window WINDOW_ID
//
// Exits 0 once the message is sent, 1 if the window does not take part in the
// WM_DELETE_WINDOW protocol or cannot be reached.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s WINDOW_ID\n", argv[0]);
    return 2;
  }
  char* end = nullptr;
  unsigned long id = std::strtoul(argv[1], &end, 0);
  if (!end || *end || id == 0) {
    std::fprintf(stderr, "%s: not a window id: %s\n", argv[0], argv[1]);
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "%s: cannot open the display\n", argv[0]);
    return 1;
  }
  Window window = (Window)id;
  Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);

  Atom* listed = nullptr;
  int count = 0;
  bool takesPart = false;
  if (XGetWMProtocols(display, window, &listed, &count)) {
    for (int i = 0; i < count; ++i) takesPart = takesPart || listed[i] == deleteWindow;
    XFree(listed);
  }
  if (!takesPart) {
    std::fprintf(stderr, "%s: window 0x%lx does not list WM_DELETE_WINDOW\n", argv[0], id);
    XCloseDisplay(display);
    return 1;
  }

  XEvent event = {};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = protocols;
  event.xclient.format = 32;
  event.xclient.data.l[0] = (long)deleteWindow;
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XSync(display, False);
  XCloseDisplay(display);
  return 0;
}
