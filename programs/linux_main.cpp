// The process start-up of the Linux viewer: the program's icons to the
// platform, then WinMain, whose result is the exit code. The viewer reads no
// command line, so it gets an empty one.
#include "app/app.h"
#include "resources/icon.h"

int main() {
  static char commandLine[] = "";
  RegisterIconResources();
  return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
}
