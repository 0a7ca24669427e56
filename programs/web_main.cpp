// The process start-up of the browser build: the program's icons to the
// platform (the page's icon), WinMain with an empty command line, then the
// runtime's exit with its result, which the page reports.
#include <stdlib.h>

#include "app/app.h"
#include "resources/icon.h"

int main() {
  static char commandLine[] = "";
  RegisterIconResources();
  exit(WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT));
}
