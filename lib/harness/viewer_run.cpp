#include "app/app.h"
#include "platform/headless/headless.h"
#include "lib/harness/viewer_harness.h"

void harness::ResetViewer() {
  headless::Reset();
  ResetRecords();
}

int harness::RunViewer() {
  char commandLine[] = "";
  return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
}
