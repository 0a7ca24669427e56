// Prints what Windows knows of a top-level window found by its exact title:
// its texts and those of its child windows (what a message box says), its
// class, style, owner, outer rectangle and client area. For tests that cannot read these from the
// screen. Texts are shown between [ and ], with a line feed as \n.
//
//   helicoid-window-info TITLE
//
// Exits 0 when the window exists, 1 when it does not.
#include <windows.h>

#include <stdio.h>

namespace {

void PrintText(const char* label, HWND window) {
  char text[1024];
  int length = GetWindowTextA(window, text, sizeof text);
  printf("%s [", label);
  for (int i = 0; i < length; ++i) {
    if (text[i] == '\n')
      printf("\\n");
    else if (text[i] == '\r')
      printf("\\r");
    else
      putchar(text[i]);
  }
  printf("]\n");
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
  char className[64];
  GetClassNameA(child, className, sizeof className);
  char label[80];
  snprintf(label, sizeof label, "child %s:", className);
  PrintText(label, child);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s TITLE\n", argv[0]);
    return 2;
  }
  HWND window = FindWindowA(NULL, argv[1]);
  if (!window) {
    printf("no window titled [%s]\n", argv[1]);
    return 1;
  }
  PrintText("title:", window);
  char className[64];
  GetClassNameA(window, className, sizeof className);
  printf("class: [%s]\n", className);
  printf("style: 0x%08lx\n", (unsigned long)GetWindowLongA(window, GWL_STYLE));
  printf("visible: %d\n", IsWindowVisible(window) ? 1 : 0);
  HWND owner = GetWindow(window, GW_OWNER);
  if (owner)
    PrintText("owner:", owner);
  else
    printf("owner: none\n");
  RECT outer;
  GetWindowRect(window, &outer);
  printf("outer: %ld %ld %ld x %ld\n", (long)outer.left, (long)outer.top,
         (long)(outer.right - outer.left), (long)(outer.bottom - outer.top));
  RECT client;
  GetClientRect(window, &client);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  printf("client: %ld %ld %ld x %ld\n", (long)origin.x, (long)origin.y, (long)client.right,
         (long)client.bottom);
  EnumChildWindows(window, PrintChild, 0);
  return 0;
}
