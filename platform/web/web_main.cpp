// The process start-up of the browser build: WinMain with an empty command
// line, then the runtime's exit with its result, which the page reports
// (index.html, Module.onExit).
#include <stdlib.h>

#include "app/app.h"

int main() {
  static char commandLine[] = "";
  exit(WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT));
}
